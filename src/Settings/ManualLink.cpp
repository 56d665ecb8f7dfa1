#include "Settings/ManualLink.h"

#include "SecurityCore/ModuleStrings.h"
#include "System/AppStrings.h"

#include <QDesktopServices>
#include <QIcon>

ManualLink::ManualLink(Topic topic, QWidget* parent) : QToolButton(parent), m_topic(topic)
{
    setObjectName(QStringLiteral("manual.") + toRaw(topic));
    setProperty("symbolName", QStringLiteral("questionmark.circle"));
    setIcon(QIcon::fromTheme(QStringLiteral("help-contents")));
    if (icon().isNull())
        setText(QStringLiteral("?"));
    setToolTip(AppStrings::string(QStringLiteral("settings.help")));
    setAccessibleName(toolTip());
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setForegroundRole(QPalette::PlaceholderText);
    connect(this, &QToolButton::clicked, this, [this] { QDesktopServices::openUrl(url(m_topic)); });
}

QString ManualLink::toRaw(Topic topic)
{
    switch (topic) {
    case Topic::permissions: return QStringLiteral("permissions");
    case Topic::finder: return QStringLiteral("finder");
    case Topic::selection: return QStringLiteral("selection");
    case Topic::scroll: return QStringLiteral("scroll");
    case Topic::ai: return QStringLiteral("ai");
    }
    return {};
}

QUrl ManualLink::url(Topic topic)
{
    return QUrl(siteRoot + u'/' + ModuleStrings::currentLanguage() + QStringLiteral("/docs#") + toRaw(topic));
}
