#include "System/Permission.h"

QString toRaw(Permission permission)
{
    switch (permission) {
    case Permission::finderExtension: return QStringLiteral("finderExtension");
    case Permission::accessibility: return QStringLiteral("accessibility");
    case Permission::inputMonitoring: return QStringLiteral("inputMonitoring");
    }
    return {};
}

std::optional<Permission> permissionFromRaw(const QString& raw)
{
    for (Permission p : permissionCases)
        if (toRaw(p) == raw)
            return p;
    return std::nullopt;
}

bool isUsedYet(Permission permission)
{
    return permission != Permission::inputMonitoring;
}

bool isOptional(Permission)
{
    return true;
}

const QList<Permission>& askedPermissions()
{
    static const QList<Permission> asked = [] {
        QList<Permission> list;
        for (Permission p : permissionCases)
            if (isUsedYet(p))
                list << p;
        return list;
    }();
    return asked;
}

QString titleKey(Permission permission)
{
    return QStringLiteral("permission.") + toRaw(permission) + QStringLiteral(".title");
}

QString explanationKey(Permission permission)
{
    return QStringLiteral("permission.") + toRaw(permission) + QStringLiteral(".why");
}

QString consequenceKey(Permission permission)
{
    return QStringLiteral("permission.") + toRaw(permission) + QStringLiteral(".ifDenied");
}

QString systemNameKey(Permission permission)
{
    return QStringLiteral("permission.") + toRaw(permission) + QStringLiteral(".systemName");
}

std::optional<QUrl> settingsURL(Permission permission)
{
    QString text;
    switch (permission) {
    case Permission::finderExtension:
        text = QStringLiteral("x-apple.systempreferences:com.apple.ExtensionsPreferences");
        break;
    case Permission::accessibility:
        text = QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
        break;
    case Permission::inputMonitoring:
        text = QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_ListenEvent");
        break;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}
