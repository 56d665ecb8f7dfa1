#include "LocalActions/Finder/FinderActionRequest.h"

#include "SecurityCore/PathNames.h"

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

template <>
std::expected<FinderActionRequest, DecodingError> fromJson<FinderActionRequest>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("FinderActionRequest")));
    const QJsonObject object = value.toObject();
    FinderActionRequest r;

    auto actionID = Coding::requiredString(object, keyActionID);
    if (!actionID)
        return std::unexpected(actionID.error());
    r.actionID = *actionID;

    auto paths = Coding::requiredStringList(object, keySelectedPaths);
    if (!paths)
        return std::unexpected(paths.error());
    r.selectedPaths = *paths;
    // Paths come from another program: one unfit to act on makes the whole request unfit, before
    // anything classifies, names or moves the files.
    for (const QString& path : std::as_const(r.selectedPaths))
        if (!PathNames::isUsable(path))
            return std::unexpected(DecodingError{QStringLiteral("a selected path is not an absolute path to act on")});

    auto baseName = Coding::requiredString(object, keyBaseName);
    if (!baseName)
        return std::unexpected(baseName.error());
    r.baseName = *baseName;

    for (auto [key, field] : {std::pair{keyTemplateID, &r.templateID},
                              {keyTerminalBundleID, &r.terminalBundleID},
                              {keyDirectoryPath, &r.directoryPath}}) {
        auto v = Coding::optionalString(object, key);
        if (!v)
            return std::unexpected(v.error());
        *field = *v;
    }
    if (r.directoryPath && !PathNames::isUsable(*r.directoryPath))
        return std::unexpected(DecodingError{QStringLiteral("the folder is not an absolute path to act on")});
    return r;
}

std::optional<FinderActionRequest> FinderActionRequest::decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    auto request = fromJson<FinderActionRequest>(doc.object());
    if (!request)
        return std::nullopt;
    return *request;
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
