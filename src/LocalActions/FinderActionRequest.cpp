#include "LocalActions/FinderActionRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

const QString keyActionID = QStringLiteral("actionID");
const QString keyTemplateID = QStringLiteral("templateID");
const QString keyTerminalBundleID = QStringLiteral("terminalBundleID");
const QString keySelectedPaths = QStringLiteral("selectedPaths");
const QString keyDirectoryPath = QStringLiteral("directoryPath");
const QString keyBaseName = QStringLiteral("baseName");

// false when the key holds something other than a string or null
bool readOptional(const QJsonObject& object, const QString& key, std::optional<QString>& out)
{
    const QJsonValue v = object.value(key);
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

} // namespace

QList<QUrl> FinderActionRequest::selectedURLs() const
{
    QList<QUrl> urls;
    urls.reserve(selectedPaths.size());
    for (const QString& path : selectedPaths)
        urls << QUrl::fromLocalFile(path);
    return urls;
}

std::optional<QUrl> FinderActionRequest::directoryURL() const
{
    if (!directoryPath)
        return std::nullopt;
    return QUrl::fromLocalFile(*directoryPath);
}

std::optional<FinderActionRequest> FinderActionRequest::fromJson(const QJsonObject& object)
{
    const QJsonValue actionID = object.value(keyActionID);
    const QJsonValue paths = object.value(keySelectedPaths);
    const QJsonValue baseName = object.value(keyBaseName);
    if (!actionID.isString() || !paths.isArray() || !baseName.isString())
        return std::nullopt;

    FinderActionRequest r;
    r.actionID = actionID.toString();
    r.baseName = baseName.toString();
    for (const QJsonValue& p : paths.toArray()) {
        if (!p.isString())
            return std::nullopt;
        r.selectedPaths << p.toString();
    }
    if (!readOptional(object, keyTemplateID, r.templateID)
        || !readOptional(object, keyTerminalBundleID, r.terminalBundleID)
        || !readOptional(object, keyDirectoryPath, r.directoryPath))
        return std::nullopt;
    return r;
}

std::optional<FinderActionRequest> FinderActionRequest::decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return fromJson(doc.object());
}

QJsonObject toJson(const FinderActionRequest& request)
{
    QJsonObject o;
    o.insert(keyActionID, request.actionID);
    if (request.templateID)
        o.insert(keyTemplateID, *request.templateID);
    if (request.terminalBundleID)
        o.insert(keyTerminalBundleID, *request.terminalBundleID);
    o.insert(keySelectedPaths, QJsonArray::fromStringList(request.selectedPaths));
    if (request.directoryPath)
        o.insert(keyDirectoryPath, *request.directoryPath);
    o.insert(keyBaseName, request.baseName);
    return o;
}

QByteArray encode(const FinderActionRequest& request)
{
    QByteArray bytes = QJsonDocument(toJson(request)).toJson(QJsonDocument::Compact);
    // Outside strings compact JSON holds no "/", so every one of them is inside a string.
    bytes.replace("/", "\\/");
    return bytes;
}
