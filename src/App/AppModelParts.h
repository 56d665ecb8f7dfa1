#pragma once

#include "Radial/RadialApplications.h"

#include <QIcon>
#include <QString>
#include <QUrl>

// What the implementation files of the application model share: the user-defaults keys its
// settings are stored under, and the icon of an installed application.
namespace AppModelParts {

inline const QString keyOnboardingCompleted = QStringLiteral("onboarding.completed");
inline const QString keyPreset = QStringLiteral("general.preset");
inline const QString keyBlockedApps = QStringLiteral("selection.blockedApps");
inline const QString keyAutoShow = QStringLiteral("selection.autoShow");
inline const QString keySearchEngine = QStringLiteral("selection.searchEngine");
inline const QString keyTranslationService = QStringLiteral("selection.translationService");
inline const QString keyTranslationTarget = QStringLiteral("selection.translationTarget");
inline const QString keyTargetCurrency = QStringLiteral("selection.targetCurrency");
inline const QString keyOutputLanguage = QStringLiteral("ai.outputLanguage");
inline const QString keyProvider = QStringLiteral("ai.provider");
inline const QString keyShortcut = QStringLiteral("shortcut.newFile");
inline const QString keyTelemetry = QStringLiteral("telemetry.enabled");
inline const QString keyRadial = QStringLiteral("radial.settings");
inline const QString keyLaunchDefault = QStringLiteral("launch.defaultApplied");

// The icon an installed application's desktop entry names, else the generic one.
inline QIcon installedIcon(const QUrl& entry)
{
    const QIcon icon = RadialApplications::iconOf(entry);
    return icon.isNull() ? QIcon::fromTheme(QStringLiteral("application-x-executable")) : icon;
}

} // namespace AppModelParts
