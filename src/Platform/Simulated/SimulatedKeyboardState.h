#pragma once

#include "Platform/KeyboardState.h"

#include <QSet>

#include <mutex>

namespace Platform {

// Keys that tests hold down and let go.
class SimulatedKeyboardState final : public KeyboardState {
public:
    bool isAvailable() const override { return true; }
    bool isDown(Key key) const override
    {
        std::lock_guard lock(m_mutex);
        return m_down.contains(quint16(key));
    }
    void press(Key key)
    {
        std::lock_guard lock(m_mutex);
        m_down.insert(quint16(key));
    }
    void release(Key key)
    {
        std::lock_guard lock(m_mutex);
        m_down.remove(quint16(key));
    }

private:
    mutable std::mutex m_mutex;
    QSet<quint16> m_down;
};

} // namespace Platform
