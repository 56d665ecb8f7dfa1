#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// The sleep between two polls, replaceable so that tests decide when it ends.
class PollTimer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Fires `timeout` once, after the interval; a running sleep is replaced.
    virtual void start(std::chrono::milliseconds interval) = 0;
    // Ends a running sleep without firing.
    virtual void stop() = 0;

signals:
    void timeout();
};

// A real sleep on the event loop; never fires early.
class QtPollTimer final : public PollTimer {
    Q_OBJECT
public:
    explicit QtPollTimer(QObject* parent = nullptr);
    void start(std::chrono::milliseconds interval) override;
    void stop() override;

private:
    QTimer m_timer;
};

// A sleep that ends only when told to.
class ManualPollTimer final : public PollTimer {
    Q_OBJECT
public:
    using PollTimer::PollTimer;
    void start(std::chrono::milliseconds interval) override;
    void stop() override { m_active = false; }

    bool isActive() const { return m_active; }
    std::chrono::milliseconds interval() const { return m_interval; }
    int starts() const { return m_starts; }
    // Ends a running sleep: fires `timeout`. Returns false when none was running.
    bool fire();

private:
    bool m_active = false;
    std::chrono::milliseconds m_interval{0};
    int m_starts = 0;
};
