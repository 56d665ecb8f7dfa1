#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "Platform/UserDefaults.h"
#include "SecurityCore/PrivacyLog.h"

#include <QList>

#include <memory>

struct AIActionLibrary;

// The user's custom AI actions, kept as one JSON value in the user defaults. A stored list that
// cannot be read reads as empty; before the next save replaces it, it is copied aside to
// `unreadableKey`, so a list written by a newer version is never lost without a trace.
class AIActionStore {
public:
    static inline const QString key = QStringLiteral("ai.customActions");
    static inline const QString unreadableKey = QStringLiteral("ai.customActions.unreadable");

    explicit AIActionStore(std::shared_ptr<Platform::UserDefaults> defaults);

    QList<AIActionTemplate> load() const;
    void save(const QList<AIActionTemplate>& actions) const;
    // The built-ins, then the custom actions.
    QList<AIActionTemplate> allActions() const;
    // The library's actions with fresh identifiers, as custom actions.
    static QList<AIActionTemplate> importing(const AIActionLibrary& library);

private:
    std::shared_ptr<Platform::UserDefaults> m_defaults;
    PrivacyLog::Logger m_logger;
};
