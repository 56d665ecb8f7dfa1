#include "ContextCore/ContextKind.h"

namespace {

QString rawValue(ContextKind kind)
{
    switch (kind) {
    case ContextKind::finderEmpty: return QStringLiteral("finderEmpty");
    case ContextKind::singleFile: return QStringLiteral("singleFile");
    case ContextKind::multipleFiles: return QStringLiteral("multipleFiles");
    case ContextKind::folder: return QStringLiteral("folder");
    case ContextKind::archive: return QStringLiteral("archive");
    case ContextKind::image: return QStringLiteral("image");
    case ContextKind::selectedText: return QStringLiteral("selectedText");
    case ContextKind::selectedURL: return QStringLiteral("selectedURL");
    case ContextKind::editableText: return QStringLiteral("editableText");
    case ContextKind::secureText: return QStringLiteral("secureText");
    }
    Q_UNREACHABLE();
    return QString();
}

} // namespace

template <>
std::span<const ContextKind> allCases<ContextKind>()
{
    return contextKindCases;
}

template <>
std::optional<ContextKind> fromRaw<ContextKind>(const QString& raw)
{
    for (ContextKind kind : contextKindCases) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}

QString toRaw(ContextKind kind)
{
    return rawValue(kind);
}

namespace ContextKinds {

const ContextKindSet& fileKinds()
{
    static const ContextKindSet kinds{ContextKind::finderEmpty, ContextKind::singleFile, ContextKind::multipleFiles,
                                      ContextKind::folder,      ContextKind::archive,    ContextKind::image};
    return kinds;
}

const ContextKindSet& textKinds()
{
    static const ContextKindSet kinds{ContextKind::selectedText, ContextKind::selectedURL, ContextKind::editableText,
                                      ContextKind::secureText};
    return kinds;
}

} // namespace ContextKinds

bool isFileKind(ContextKind kind)
{
    return ContextKinds::fileKinds().contains(kind);
}

bool isTextKind(ContextKind kind)
{
    return ContextKinds::textKinds().contains(kind);
}

QJsonValue toJson(ContextKind kind)
{
    return rawValue(kind);
}

QJsonArray toJson(const ContextKindSet& kinds)
{
    QJsonArray array;
    for (ContextKind kind : contextKindCases) {
        if (kinds.contains(kind))
            array.append(rawValue(kind));
    }
    return array;
}

template <>
std::expected<ContextKind, DecodingError> fromJson<ContextKind>(const QJsonValue& value)
{
    return Coding::decodeStringRaw<ContextKind>(value, QStringLiteral("ContextKind"));
}

template <>
std::expected<ContextKindSet, DecodingError> fromJson<ContextKindSet>(const QJsonValue& value)
{
    if (!value.isArray())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an array"), QStringLiteral("a set of ContextKind")));
    ContextKindSet kinds;
    for (const QJsonValue& element : value.toArray()) {
        auto kind = fromJson<ContextKind>(element);
        if (!kind)
            return std::unexpected(kind.error());
        kinds.insert(*kind);
    }
    return kinds;
}
