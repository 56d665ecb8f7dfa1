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
    // A user's own action (made, pasted or imported): its id is random, so among actions of its
    // rank it keeps its place in the list it came in (a plug-in file's order, files in the order
    // they were added) rather than the order of ids.
    bool keepsListOrder = false;

    bool supports(ContextKind kind) const { return supportedContexts.contains(kind); }

    // The tie-break of every action order: ids compared by Unicode scalar values (not by UTF-16
    // code units, which put characters beyond U+FFFF before U+E000..U+FFFF).
    static bool idPrecedes(const QString& a, const QString& b);
    // The last key of every action order, for actions equal on all others: ids in order, then
    // the actions that keep their list order, which compare equal (a stable sort keeps them as
    // given).
    static bool tiePrecedes(const ActionDefinition& a, const ActionDefinition& b);

    bool operator==(const ActionDefinition&) const = default;
};
