#pragma once

#include <QDateTime>

#include <memory>

namespace Platform {

// Wall-clock time, injectable so that expiry and time-out rules are tested without sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

// A clock that only moves when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC))
        : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(QDateTime t) { m_now = std::move(t); }
    void advance(double seconds) { m_now = m_now.addMSecs(qint64(seconds * 1000.0)); }

private:
    QDateTime m_now;
};

} // namespace Platform
