#include "Updates/UpdateRelease.h"

#include "ContextCore/VersionOrder.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>

namespace UpdateReply {

bool isAcceptableArchiveURL(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https")
        return true;
    if (scheme != u"http")
        return false;
    if (url.host().compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(url.host());
    return !address.isNull() && address.isLoopback();
}

Verdict decide(const QByteArray& body, const QString& currentVersion, const QString& systemVersion)
{
    if (body.size() > maxBodySize)
        return Malformed{};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return Malformed{};
    const QJsonObject reply = doc.object();
    const QJsonValue version = reply.value(QStringLiteral("version"));
    const QJsonValue url = reply.value(QStringLiteral("url"));
    if (!version.isString() || !url.isString())
        return Malformed{};
    const QUrl archive(url.toString(), QUrl::StrictMode);
    if (!isAcceptableArchiveURL(archive))
        return Malformed{};
    if (!VersionOrder::isNewer(version.toString(), currentVersion))
        return UpToDate{};

    UpdateRelease release;
    release.version = version.toString();
    release.url = archive;
    if (const QJsonValue notes = reply.value(QStringLiteral("notes")); notes.isString())
        release.notes = notes.toString();
    if (const QJsonValue minimum = reply.value(QStringLiteral("minimumSystem")); minimum.isString()) {
        release.minimumSystem = minimum.toString();
        if (VersionOrder::isNewer(minimum.toString(), systemVersion))
            return NeedsNewerSystem{release};
    }
    return Available{release};
}

} // namespace UpdateReply
