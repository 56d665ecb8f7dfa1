#include "Selection/AIRun.h"

AIRun::AIRun(QString title, QObject* parent)
    : QObject(parent)
    , m_title(std::move(title))
{
}

void AIRun::setOutput(const QString& output)
{
    if (output == m_output)
        return;
    m_output = output;
    emit outputChanged();
}

void AIRun::appendOutput(const QString& chunk)
{
    if (chunk.isEmpty())
        return;
    m_output += chunk;
    emit outputChanged();
}

void AIRun::setStreaming(bool streaming)
{
    if (streaming == m_isStreaming)
        return;
    m_isStreaming = streaming;
    emit isStreamingChanged();
}

void AIRun::setFailureKey(const std::optional<QString>& key)
{
    if (key == m_failureKey)
        return;
    m_failureKey = key;
    emit failureKeyChanged();
}

void AIRun::setCanRetry(bool canRetry)
{
    if (canRetry == m_canRetry)
        return;
    m_canRetry = canRetry;
    emit canRetryChanged();
}

void AIRun::finish(const QString& failureKey, bool retryable)
{
    setFailureKey(failureKey);
    setCanRetry(retryable);
    setStreaming(false);
}
