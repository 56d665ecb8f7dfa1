#pragma once

#include "AIProviders/HttpTransfer.h"

#include <QList>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// A clock for request limits that moves only when the test moves it: a limit is passed exactly
// when the test says, however slowly the process runs. Its alarms ring inside `advance`, in the
// order of their times.
class ManualClock final : public DeadlineClock {
public:
    std::unique_ptr<Alarm> alarm(std::function<void()> rang) override
    {
        return std::make_unique<ManualAlarm>(*this, std::move(rang));
    }

    std::chrono::milliseconds now() const { return m_now; }
    // Alarms that are set now.
    int armed() const
    {
        return int(std::count_if(m_alarms.begin(), m_alarms.end(), [](const ManualAlarm* a) { return a->isActive(); }));
    }

    // How long until the soonest alarm set rings; none while none is set.
    std::optional<std::chrono::milliseconds> nextDue() const
    {
        std::optional<std::chrono::milliseconds> soonest;
        for (const ManualAlarm* a : m_alarms)
            if (a->isActive() && (!soonest || a->m_at - m_now < *soonest))
                soonest = a->m_at - m_now;
        return soonest;
    }

    void advance(std::chrono::milliseconds by)
    {
        const std::chrono::milliseconds target = m_now + by;
        for (;;) {
            // Looked up afresh each time: a ringing alarm may set, stop or delete others.
            ManualAlarm* next = nullptr;
            for (ManualAlarm* a : m_alarms) {
                if (a->isActive() && a->m_at <= target && (!next || a->m_at < next->m_at))
                    next = a;
            }
            if (!next)
                break;
            m_now = next->m_at;
            next->m_active = false;
            const auto rang = next->m_rang; // the alarm may be deleted while it rings
            rang();
        }
        m_now = target;
    }

private:
    class ManualAlarm final : public Alarm {
    public:
        ManualAlarm(ManualClock& clock, std::function<void()> rang)
            : m_clock(clock)
            , m_rang(std::move(rang))
        {
            m_clock.m_alarms.append(this);
        }
        ~ManualAlarm() override { m_clock.m_alarms.removeOne(this); }
        void start(std::chrono::milliseconds after) override
        {
            m_at = m_clock.m_now + after;
            m_active = true;
        }
        void stop() override { m_active = false; }
        bool isActive() const override { return m_active; }

        ManualClock& m_clock;
        std::function<void()> m_rang;
        std::chrono::milliseconds m_at{0};
        bool m_active = false;
    };

    std::chrono::milliseconds m_now{0};
    QList<ManualAlarm*> m_alarms;
};
