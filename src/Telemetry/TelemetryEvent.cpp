#include "Telemetry/TelemetryEvent.h"

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

template <class E, std::size_t N>
std::optional<E> findRaw(const std::array<E, N>& cases, const QString& raw)
{
    for (E e : cases) {
        if (toRaw(e) == raw)
            return e;
    }
    return std::nullopt;
}

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
// Spelled out for compilers without deduction for aggregates (clang 16, the fuzz build's).
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

} // namespace

QString toRaw(TelemetryEvent::EntryPoint value)
{
    switch (value) {
    case TelemetryEvent::EntryPoint::finder: return QStringLiteral("finder");
    case TelemetryEvent::EntryPoint::selection: return QStringLiteral("selection");
    }
    return {};
}

QString toRaw(TelemetryEvent::Outcome value)
{
    switch (value) {
    case TelemetryEvent::Outcome::succeeded: return QStringLiteral("succeeded");
    case TelemetryEvent::Outcome::failed: return QStringLiteral("failed");
    case TelemetryEvent::Outcome::cancelled: return QStringLiteral("cancelled");
    }
    return {};
}

QString toRaw(TelemetryEvent::PluginSource value)
{
    switch (value) {
    case TelemetryEvent::PluginSource::composedByModel: return QStringLiteral("composedByModel");
    case TelemetryEvent::PluginSource::writtenByHand: return QStringLiteral("writtenByHand");
    case TelemetryEvent::PluginSource::importedFile: return QStringLiteral("importedFile");
    case TelemetryEvent::PluginSource::pasted: return QStringLiteral("pasted");
    }
    return {};
}

namespace TelemetryEvents {
std::optional<TelemetryEvent::EntryPoint> entryPointFromRaw(const QString& raw) { return findRaw(entryPoints, raw); }
std::optional<TelemetryEvent::Outcome> outcomeFromRaw(const QString& raw) { return findRaw(outcomes, raw); }
std::optional<TelemetryEvent::PluginSource> pluginSourceFromRaw(const QString& raw) { return findRaw(pluginSources, raw); }
} // namespace TelemetryEvents

TelemetrySignal TelemetryEvent::signal() const
{
    using P = QMap<QString, QString>;
    return std::visit(
        Overloaded{
            [](const Launched& e) {
                QStringList permissions = e.permissions;
                permissions.sort();
                return TelemetrySignal(QStringLiteral("App.launched"),
                                       P{{QStringLiteral("permissions"), permissions.join(u'-')},
                                         {QStringLiteral("hasModel"), boolText(e.hasModel)},
                                         {QStringLiteral("scrolling"), boolText(e.scrolling)}});
            },
            [](const OnboardingStepShown& e) {
                return TelemetrySignal(QStringLiteral("Onboarding.stepShown"), P{{QStringLiteral("step"), e.step}});
            },
            [](const OnboardingSkipped& e) {
                return TelemetrySignal(QStringLiteral("Onboarding.skipped"), P{{QStringLiteral("step"), e.step}});
            },
            [](const OnboardingFinished& e) {
                return TelemetrySignal(QStringLiteral("Onboarding.finished"),
                                       P{{QStringLiteral("ready"), QString::number(e.featuresReady)},
                                         {QStringLiteral("total"), QString::number(e.featuresTotal)}},
                                       double(e.featuresReady));
            },
            [](const PermissionGranted& e) {
                return TelemetrySignal(QStringLiteral("Permission.granted"), P{{QStringLiteral("permission"), e.permission}});
            },
            [](const ToolbarShown& e) {
                return TelemetrySignal(QStringLiteral("Selection.toolbarShown"), P{}, double(e.actions));
            },
            [](const ActionRun& e) {
                return TelemetrySignal(QStringLiteral("Action.run"), P{{QStringLiteral("action"), e.identifier},
                                                                       {QStringLiteral("entryPoint"), toRaw(e.entryPoint)}});
            },
            [](const ModelRequest& e) {
                return TelemetrySignal(QStringLiteral("Model.request"),
                                       P{{QStringLiteral("provider"), e.provider}, {QStringLiteral("outcome"), toRaw(e.outcome)}},
                                       e.seconds);
            },
            [](const ScrollEnabled& e) {
                return TelemetrySignal(QStringLiteral("Scroll.enabled"), P{{QStringLiteral("enabled"), boolText(e.enabled)}});
            },
            [](const ScrollPresetChosen& e) {
                return TelemetrySignal(QStringLiteral("Scroll.presetChosen"), P{{QStringLiteral("preset"), e.preset}});
            },
            [](const RadialEnabled& e) {
                return TelemetrySignal(QStringLiteral("Radial.enabled"), P{{QStringLiteral("enabled"), boolText(e.enabled)}});
            },
            [](const RadialShapeChosen& e) {
                return TelemetrySignal(QStringLiteral("Radial.shapeChosen"), P{{QStringLiteral("shape"), e.shape}});
            },
            [](const PluginAdded& e) {
                return TelemetrySignal(QStringLiteral("Plugin.added"), P{{QStringLiteral("source"), toRaw(e.source)}});
            },
            [](const OnboardingRestarted&) { return TelemetrySignal(QStringLiteral("Onboarding.restarted")); },
            [](const RadialItemLaunched&) { return TelemetrySignal(QStringLiteral("Radial.itemLaunched")); },
        },
        m_case);
}
