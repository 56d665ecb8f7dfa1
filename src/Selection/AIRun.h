#pragma once

#include <QObject>
#include <QString>

#include <optional>

// The observable state of one AI or script run on the toolbar: its title, the result as far as
// written, whether it is still running, and its failure. An equal value is stored silently.
class AIRun : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString output READ output WRITE setOutput NOTIFY outputChanged)
    Q_PROPERTY(bool isStreaming READ isStreaming WRITE setStreaming NOTIFY isStreamingChanged)
    Q_PROPERTY(bool canRetry READ canRetry WRITE setCanRetry NOTIFY canRetryChanged)
public:
    explicit AIRun(QString title, QObject* parent = nullptr);

    const QString& title() const { return m_title; }
    const QString& output() const { return m_output; }
    void setOutput(const QString& output);
    void appendOutput(const QString& chunk);
    bool isStreaming() const { return m_isStreaming; }
    void setStreaming(bool streaming);
    const std::optional<QString>& failureKey() const { return m_failureKey; }
    void setFailureKey(const std::optional<QString>& key);
    bool canRetry() const { return m_canRetry; }
    void setCanRetry(bool canRetry);

    // Ends a failed run: its failure's text key and whether a retry may help; the output stays.
    void finish(const QString& failureKey, bool retryable);

signals:
    void outputChanged();
    void isStreamingChanged();
    void failureKeyChanged();
    void canRetryChanged();

private:
    QString m_title;
    QString m_output;
    bool m_isStreaming = true;
    std::optional<QString> m_failureKey;
    bool m_canRetry = false;
};
