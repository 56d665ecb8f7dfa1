#pragma once

#include "Platform/CodeSignature.h"

#include <QMutex>
#include <QStringList>

namespace Platform {

// Accepts or refuses every candidate as told; refuses until told otherwise.
class SimulatedCodeSignature final : public CodeSignature {
public:
    bool satisfiesRequirement(const QString& installedBundle, const QString& candidateBundle) const override
    {
        QMutexLocker locker(&m_lock);
        m_checked << candidateBundle;
        Q_UNUSED(installedBundle);
        return m_accepts;
    }

    void setAccepts(bool accepts)
    {
        QMutexLocker locker(&m_lock);
        m_accepts = accepts;
    }
    QStringList checked() const
    {
        QMutexLocker locker(&m_lock);
        return m_checked;
    }

private:
    mutable QMutex m_lock;
    bool m_accepts = false;
    mutable QStringList m_checked;
};

} // namespace Platform
