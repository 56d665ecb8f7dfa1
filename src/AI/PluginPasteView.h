#pragma once

#include "ContextCore/PluginManifest.h"
#include "Platform/Pasteboard.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class AIViewModel;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Where a user pastes or edits the text of a plug-in: it is validated on every change, its
// actions are listed, and "Add" appends them to the custom actions. Shown as a sheet from the
// settings (empty, or with a valid plug-in taken from the clipboard) and in the import window
// for an opened file.
class PluginPasteView : public QDialog {
    Q_OBJECT
public:
    struct Options {
        QString initialSource;
        std::optional<QString> initialProblem;            // why an opened file shows no text
        std::shared_ptr<Platform::Pasteboard> pasteboard; // the general one, read once when shown
        std::function<void()> onFinish;                   // after the view closed itself
        std::function<void()> onAdded;                    // a plug-in's actions were added
    };

    PluginPasteView(AIViewModel& ai, Options options, QWidget* parent = nullptr);

    QString source() const;
    void setSource(const QString& source);
    const std::optional<PluginManifest>& manifest() const { return m_manifest; }
    const std::optional<QString>& problem() const { return m_problem; }

    // "Title — Text · Other — Files"
    static QString summary(const PluginManifest& manifest);
    // The manifest of a text, or the problem a user reads; none for blank text.
    static std::optional<std::expected<PluginManifest, QString>> validate(const QString& source);
    // The text of a file's bytes, or the problem a user reads for a file that holds none.
    static std::expected<QString, QString> sourceOf(const QByteArray& bytes);

    void add();
    void cancel();

private:
    void revalidate();
    void finish();

    AIViewModel& m_ai;
    Options m_options;
    std::optional<PluginManifest> m_manifest;
    std::optional<QString> m_problem;
    QPlainTextEdit* m_editor = nullptr;
    QLabel* m_statusIcon = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_add = nullptr;
};

// The window in which an opened plug-in file is shown for adding; one at a time.
class PluginImportWindow : public QObject {
    Q_OBJECT
public:
    explicit PluginImportWindow(QObject* parent = nullptr);
    ~PluginImportWindow() override;

    void present(const QString& source, AIViewModel& ai, PluginPasteView::Options options = {});
    PluginPasteView* window() const { return m_window; }

private:
    void close();
    PluginPasteView* m_window = nullptr;
};
