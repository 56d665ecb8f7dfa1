#include "System/PollTimer.h"

QtPollTimer::QtPollTimer(QObject* parent)
    : PollTimer(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PollTimer::timeout);
}

void QtPollTimer::start(std::chrono::milliseconds interval)
{
    m_timer.start(interval);
}

void QtPollTimer::stop()
{
    m_timer.stop();
}

void ManualPollTimer::start(std::chrono::milliseconds interval)
{
    m_interval = interval;
    m_active = true;
    ++m_starts;
}

bool ManualPollTimer::fire()
{
    if (!m_active)
        return false;
    m_active = false;
    emit timeout();
    return true;
}
