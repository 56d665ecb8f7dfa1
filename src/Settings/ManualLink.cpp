#include "Settings/ManualLink.h"

#include "System/AppStrings.h"
#include "System/ProductSite.h"
#include "ViewStyle/ViewStyle.h"

#include <QDesktopServices>
#include <QIcon>

ManualLink::ManualLink(Topic topic, QWidget* parent) : QToolButton(parent), m_topic(topic)
{
    setObjectName(QStringLiteral("manual.") + toRaw(topic));
    setProperty("symbolName", QStringLiteral("questionmark.circle"));
    setIcon(ViewStyle::themedSymbol(QStringLiteral("questionmark.circle"), ViewStyle::secondaryColor()));
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

std::optional<ManualLink::Topic> ManualLink::fromRaw(const QString& raw)
{
    for (Topic t : {Topic::permissions, Topic::finder, Topic::selection, Topic::scroll, Topic::ai})
        if (toRaw(t) == raw)
            return t;
    return std::nullopt;
}

QUrl ManualLink::url(Topic topic)
{
    return ProductSite::manualURL(toRaw(topic));
}
