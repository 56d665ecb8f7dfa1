#pragma once

#include "ContextCore/ContextKind.h"
#include "ContextCore/OutputBehavior.h"
#include "ContextCore/RiskLevel.h"

#include <QString>

// One action that can be offered on a selection, whatever its origin (built-in text or file
// actions, AI and custom templates). Identified by `id` wherever lists of them are shown.
struct ActionDefinition {
    QString id;       // family and name joined by a dot: "text.copyPlain", "finder.copyPath"
    QString titleKey; // localisation key of its title
    QString symbolName;
    ContextKindSet supportedContexts;
    RiskLevel riskLevel = RiskLevel::safe;
    bool requiresAI = false;
    OutputBehavior outputBehavior = OutputBehavior::none;
    qint64 defaultRank = 0; // lower ranks come first

    bool supports(ContextKind kind) const { return supportedContexts.contains(kind); }

    // The tie-break of every action order: ids compared by Unicode scalar values (not by UTF-16
    // code units, which put characters beyond U+FFFF before U+E000..U+FFFF).
    static bool idPrecedes(const QString& a, const QString& b);

    bool operator==(const ActionDefinition&) const = default;
};
