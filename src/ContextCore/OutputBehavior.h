#pragma once

#include "ContextCore/Coding.h"

#include <QHashFunctions>
#include <QJsonObject>

#include <array>

// What an action's result does.
enum class OutputBehavior {
    none,               // nothing shown or copied: the effect is all
    copiedToPasteboard, // the result goes onto the pasteboard
    preview,            // the result is shown
    replaceable,        // the result is shown and can replace the selection
    renameCandidates,   // the result is a list of proposed file names
};

inline constexpr std::array<OutputBehavior, 5> outputBehaviorCases{
    OutputBehavior::none, OutputBehavior::copiedToPasteboard, OutputBehavior::preview, OutputBehavior::replaceable,
    OutputBehavior::renameCandidates,
};

inline size_t qHash(OutputBehavior behavior, size_t seed = 0) noexcept
{
    return ::qHash(int(behavior), seed);
}

template <>
std::span<const OutputBehavior> allCases<OutputBehavior>();
// The case name, which is its key in the stored form.
QString caseName(OutputBehavior behavior);

// Stored as a one-key object: {"preview": {}}.
QJsonObject toJson(OutputBehavior behavior);
template <>
std::expected<OutputBehavior, DecodingError> fromJson<OutputBehavior>(const QJsonValue& value);
