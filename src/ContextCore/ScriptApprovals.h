#pragma once

#include "ContextCore/ScriptAction.h"

#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace Platform {
class UserDefaults;
}

// The scripts the user has allowed to run, remembered by fingerprint under
// "script.approvedFingerprints" (an array of strings). Every call reads the store afresh; a
// stored value that is not an array of strings approves nothing.
class ScriptApprovals {
public:
    static inline const QString storageKey = QStringLiteral("script.approvedFingerprints");

    // With a suite name the approvals live in that suite of `defaults`; when it cannot be
    // opened, in `defaults` itself.
    explicit ScriptApprovals(std::shared_ptr<Platform::UserDefaults> defaults,
                             std::optional<QString> suiteName = std::nullopt);

    const std::optional<QString>& suiteName() const { return m_suiteName; }

    bool isApproved(const ScriptAction& script) const;
    // Writes the whole set back, also when the fingerprint was already there.
    void approve(const ScriptAction& script) const;
    // Writes the whole set back, also when the fingerprint was absent.
    void revoke(const ScriptAction& script) const;
    // Removes the key.
    void revokeAll() const;

    QSet<QString> approvedFingerprints() const;

private:
    std::shared_ptr<Platform::UserDefaults> store() const;
    QStringList storedList() const;

    std::shared_ptr<Platform::UserDefaults> m_defaults;
    std::optional<QString> m_suiteName;
};
