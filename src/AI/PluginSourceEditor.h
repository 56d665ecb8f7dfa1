#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

// The composer's editor of the plug-in text: the monospaced source ("source") and under it a
// caption line ("caption"): the writing note while a reply streams in, else the summary of the
// valid plug-in, else nothing. The source cannot be edited while a reply streams into it.
class PluginSourceEditor : public QWidget {
    Q_OBJECT
public:
    explicit PluginSourceEditor(QWidget* parent = nullptr);

    QString source() const;
    // Leaves the editor alone when the text is the same, so that no change is announced.
    void setSource(const QString& source);
    void setSummary(const QString& summary);
    void setStreaming(bool streaming);
    bool isStreaming() const { return m_isStreaming; }

signals:
    // The text changed, typed or set.
    void sourceChanged();

private:
    void refresh();

    QPlainTextEdit* m_source = nullptr;
    QLabel* m_caption = nullptr;
    QString m_summary;
    bool m_isStreaming = false;
};
