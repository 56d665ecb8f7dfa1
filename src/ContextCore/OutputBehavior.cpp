#include "ContextCore/OutputBehavior.h"

template <>
std::span<const OutputBehavior> allCases<OutputBehavior>()
{
    return outputBehaviorCases;
}

QString caseName(OutputBehavior behavior)
{
    switch (behavior) {
    case OutputBehavior::none: return QStringLiteral("none");
    case OutputBehavior::copiedToPasteboard: return QStringLiteral("copiedToPasteboard");
    case OutputBehavior::preview: return QStringLiteral("preview");
    case OutputBehavior::replaceable: return QStringLiteral("replaceable");
    case OutputBehavior::renameCandidates: return QStringLiteral("renameCandidates");
    }
    Q_UNREACHABLE();
    return QString();
}

QJsonObject toJson(OutputBehavior behavior)
{
    return OneKeyJson::encode(caseName(behavior));
}

template <>
std::expected<OutputBehavior, DecodingError> fromJson<OutputBehavior>(const QJsonValue& value)
{
    QStringList names;
    for (OutputBehavior behavior : outputBehaviorCases)
        names << caseName(behavior);
    const auto found = OneKeyJson::decode(value, names);
    if (!found)
        return std::unexpected(found.error());
    return outputBehaviorCases[size_t(names.indexOf(found->name))];
}
