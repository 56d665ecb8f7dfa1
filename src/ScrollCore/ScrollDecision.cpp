#include "ScrollCore/ScrollDecision.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

QString toRaw(PassThroughReason reason)
{
    switch (reason) {
    case PassThroughReason::disabled: return QStringLiteral("disabled");
    case PassThroughReason::notAWheel: return QStringLiteral("notAWheel");
    case PassThroughReason::excludedApp: return QStringLiteral("excludedApp");
    case PassThroughReason::modifierHeld: return QStringLiteral("modifierHeld");
    case PassThroughReason::disabledForApp: return QStringLiteral("disabledForApp");
    case PassThroughReason::noAxisEnabled: return QStringLiteral("noAxisEnabled");
    case PassThroughReason::selfGenerated: return QStringLiteral("selfGenerated");
    case PassThroughReason::empty: return QStringLiteral("empty");
    }
    return {};
}

template <>
std::optional<PassThroughReason> fromRaw<PassThroughReason>(const QString& raw)
{
    for (auto reason : passThroughReasonCases)
        if (toRaw(reason) == raw)
            return reason;
    return std::nullopt;
}

namespace ScrollPolicy {

ScrollDecision decide(const ScrollWheelEvent& event, const ScrollSettings& settings, const QString* frontmostApp,
                      ScrollModifierSet modifiers)
{
    using R = PassThroughReason;
    if (event.isOurs)
        return ScrollDecision::passing(R::selfGenerated);
    if (!settings.isEnabled)
        return ScrollDecision::passing(R::disabled);
    if (event.isEmpty())
        return ScrollDecision::passing(R::empty);
    if (!event.isFromWheel())
        return ScrollDecision::passing(R::notAWheel);

    const ScrollProfile* profile = &settings.global;
    if (const auto* entry = settings.settings(frontmostApp)) {
        if (!entry->mode.isCustom())
            return ScrollDecision::passing(R::disabledForApp);
        profile = entry->mode.profile();
    }

    bool dash = false, precise = false, flip = false;
    for (ScrollModifier m : scrollModifierCases) {
        if (!modifiers.contains(m))
            continue;
        switch (settings.modifiers.action(m)) {
        case ScrollModifierAction::passThrough: return ScrollDecision::passing(R::modifierHeld);
        case ScrollModifierAction::dash: dash = true; break;
        case ScrollModifierAction::precise: precise = true; break;
        case ScrollModifierAction::flipAxis: flip = true; break;
        case ScrollModifierAction::none: break;
        }
    }

    const double v = flip ? 0 : event.lineDeltaY;
    const double h = flip ? event.lineDeltaX + event.lineDeltaY : event.lineDeltaX;
    double verticalSpeed = profile->vertical.speed;
    double horizontalSpeed = profile->horizontal.speed;
    if (dash) {
        verticalSpeed *= dashMultiplier;
        horizontalSpeed *= dashMultiplier;
    }
    if (precise) {
        verticalSpeed *= preciseMultiplier;
        horizontalSpeed *= preciseMultiplier;
    }
    const double step = profile->tuning().step;
    const bool animated = (profile->vertical.isSmoothed && v != 0) || (profile->horizontal.isSmoothed && h != 0);
    const double vertical = ((profile->vertical.isReversed ? -v : v) * step) * verticalSpeed;
    const double horizontal = ((profile->horizontal.isReversed ? -h : h) * step) * horizontalSpeed;
    // A delta that is not a number moves nothing we could pay out; the application gets it as it is.
    if ((vertical == 0 && horizontal == 0) || !std::isfinite(vertical) || !std::isfinite(horizontal))
        return ScrollDecision::passing(R::empty);
    if (!animated && !profile->vertical.isReversed && !profile->horizontal.isReversed && verticalSpeed == 1.0
        && horizontalSpeed == 1.0 && !flip)
        return ScrollDecision::passing(R::noAxisEnabled);
    return ScrollDecision::transform({vertical, horizontal, animated});
}

} // namespace ScrollPolicy

void ScrollDiagnostics::record(const ScrollDecision& decision)
{
    if (decision.passThrough)
        ++passed[*decision.passThrough];
    else
        ++transformed;
}

std::optional<PassThroughReason> ScrollDiagnostics::dominantReason() const
{
    std::optional<PassThroughReason> kept;
    int keptCount = 0;
    for (auto it = passed.begin(); it != passed.end(); ++it) {
        if (it.key() == PassThroughReason::selfGenerated)
            continue;
        if (!kept || it.value() > keptCount) {
            kept = it.key();
            keptCount = it.value();
        }
    }
    return kept;
}

QString ScrollDiagnostics::summary() const
{
    QList<std::pair<PassThroughReason, int>> entries;
    for (auto it = passed.begin(); it != passed.end(); ++it)
        entries.append({it.key(), it.value()});
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    QStringList parts{QStringLiteral("transformed=%1").arg(transformed)};
    for (const auto& [reason, count] : entries)
        parts << QStringLiteral("%1=%2").arg(toRaw(reason)).arg(count);
    return parts.join(u' ');
}
