#pragma once

#include <QSet>
#include <QString>

#include <array>
#include <optional>

// How the user mostly works; each preset switches a few actions off.
enum class UsagePreset { everyday, developer, office };

inline constexpr std::array usagePresetCases{UsagePreset::everyday, UsagePreset::developer, UsagePreset::office};

namespace UsagePresets {
QString toRaw(UsagePreset preset);
std::optional<UsagePreset> fromRaw(const QString& raw);
QString detailKey(UsagePreset preset); // "preset.<raw>.detail"
// The file-manager actions the preset switches off.
QSet<QString> disabledFinderActions(UsagePreset preset);
// The toolbar actions the preset hides.
QSet<QString> hiddenToolbarActions(UsagePreset preset);
} // namespace UsagePresets
