#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

// The consents only the user can give in the system settings. Their raw values are their names.
enum class Permission {
    finderExtension,
    accessibility,
    inputMonitoring,
};

inline constexpr std::array<Permission, 3> permissionCases{
    Permission::finderExtension,
    Permission::accessibility,
    Permission::inputMonitoring,
};

inline size_t qHash(Permission permission, size_t seed = 0) noexcept
{
    return ::qHash(int(permission), seed);
}

QString toRaw(Permission permission);
std::optional<Permission> permissionFromRaw(const QString& raw);

// The permissions the application asks for and watches, in declaration order: the cases that
// a feature uses. Input Monitoring is named but never asked for.
const QList<Permission>& askedPermissions();

bool isUsedYet(Permission permission);
bool isOptional(Permission permission);

// Localisation keys of the application's strings: "permission.<raw>.title", ".why",
// ".ifDenied", ".systemName".
QString titleKey(Permission permission);
QString explanationKey(Permission permission);
QString consequenceKey(Permission permission);
QString systemNameKey(Permission permission);

// The system settings page where the permission is granted; none when it forms no URL.
std::optional<QUrl> settingsURL(Permission permission);
