#include "System/UsagePreset.h"

namespace UsagePresets {

QString toRaw(UsagePreset preset)
{
    switch (preset) {
    case UsagePreset::everyday: return QStringLiteral("everyday");
    case UsagePreset::developer: return QStringLiteral("developer");
    case UsagePreset::office: return QStringLiteral("office");
    }
    return {};
}

std::optional<UsagePreset> fromRaw(const QString& raw)
{
    for (UsagePreset p : usagePresetCases)
        if (toRaw(p) == raw)
            return p;
    return std::nullopt;
}

QString detailKey(UsagePreset preset)
{
    return QStringLiteral("preset.") + toRaw(preset) + QStringLiteral(".detail");
}

QSet<QString> disabledFinderActions(UsagePreset preset)
{
    switch (preset) {
    case UsagePreset::everyday: return {QStringLiteral("finder.copyPath"), QStringLiteral("finder.openInTerminal")};
    case UsagePreset::developer: return {};
    case UsagePreset::office: return {QStringLiteral("finder.openInTerminal")};
    }
    return {};
}

QSet<QString> hiddenToolbarActions(UsagePreset preset)
{
    switch (preset) {
    case UsagePreset::everyday: return {QStringLiteral("text.copyPlain")};
    case UsagePreset::developer: return {QStringLiteral("text.convertCurrency")};
    case UsagePreset::office: return {};
    }
    return {};
}

} // namespace UsagePresets
