#pragma once

#include "Telemetry/TelemetrySignal.h"

#include <QStringList>

#include <array>
#include <type_traits>
#include <optional>
#include <variant>

// The closed catalogue of usage events. Nothing else can be reported: a caller picks one of the
// cases below, and each string it passes is subject to the redaction rule of TelemetrySignal.
//
//   model.telemetry().send(TelemetryEvent::actionRun(id, TelemetryEvent::EntryPoint::selection));
//
// A user-defined action is reported as TelemetryEvent::customAction, never under its own name.
class TelemetryEvent {
public:
    inline static const QString customAction = QStringLiteral("custom");

    enum class EntryPoint { finder, selection };
    enum class Outcome { succeeded, failed, cancelled };
    enum class PluginSource { composedByModel, writtenByHand, importedFile, pasted };

    // The cases, one struct each.
    struct Launched {
        QStringList permissions; // raw names of the granted permissions
        bool hasModel = false;   // an AI provider is usable
        bool scrolling = false;  // smooth scrolling is on
        bool operator==(const Launched&) const = default;
    };
    struct OnboardingStepShown { QString step; bool operator==(const OnboardingStepShown&) const = default; };
    struct OnboardingSkipped { QString step; bool operator==(const OnboardingSkipped&) const = default; };
    struct OnboardingFinished {
        qint64 featuresReady = 0;
        qint64 featuresTotal = 0;
        bool operator==(const OnboardingFinished&) const = default;
    };
    struct PermissionGranted { QString permission; bool operator==(const PermissionGranted&) const = default; };
    struct ToolbarShown { qint64 actions = 0; bool operator==(const ToolbarShown&) const = default; };
    struct ActionRun {
        QString identifier;
        EntryPoint entryPoint = EntryPoint::selection;
        bool operator==(const ActionRun&) const = default;
    };
    struct ModelRequest {
        QString provider;
        Outcome outcome = Outcome::succeeded;
        double seconds = 0;
        bool operator==(const ModelRequest&) const = default;
    };
    struct ScrollEnabled { bool enabled = false; bool operator==(const ScrollEnabled&) const = default; };
    struct ScrollPresetChosen { QString preset; bool operator==(const ScrollPresetChosen&) const = default; };
    struct RadialEnabled { bool enabled = false; bool operator==(const RadialEnabled&) const = default; };
    struct RadialShapeChosen { QString shape; bool operator==(const RadialShapeChosen&) const = default; };
    struct PluginAdded { PluginSource source = PluginSource::writtenByHand; bool operator==(const PluginAdded&) const = default; };
    struct OnboardingRestarted { bool operator==(const OnboardingRestarted&) const = default; };
    struct RadialItemLaunched { bool operator==(const RadialItemLaunched&) const = default; };

    using Case = std::variant<Launched, OnboardingStepShown, OnboardingSkipped, OnboardingFinished, PermissionGranted,
                              ToolbarShown, ActionRun, ModelRequest, ScrollEnabled, ScrollPresetChosen, RadialEnabled,
                              RadialShapeChosen, PluginAdded, OnboardingRestarted, RadialItemLaunched>;

    TelemetryEvent(Case value) : m_case(std::move(value)) {}
    template <class T>
        requires std::is_constructible_v<Case, T>
    TelemetryEvent(T value) : m_case(std::move(value)) {}

    static TelemetryEvent launched(const QStringList& permissions, bool hasModel, bool scrolling)
    {
        return Launched{permissions, hasModel, scrolling};
    }
    static TelemetryEvent onboardingStep(const QString& step) { return OnboardingStepShown{step}; }
    static TelemetryEvent onboardingSkipped(const QString& step) { return OnboardingSkipped{step}; }
    static TelemetryEvent onboardingFinished(qint64 featuresReady, qint64 featuresTotal)
    {
        return OnboardingFinished{featuresReady, featuresTotal};
    }
    static TelemetryEvent permissionGranted(const QString& permission) { return PermissionGranted{permission}; }
    static TelemetryEvent toolbarShown(qint64 actions) { return ToolbarShown{actions}; }
    static TelemetryEvent actionRun(const QString& identifier, EntryPoint entryPoint) { return ActionRun{identifier, entryPoint}; }
    static TelemetryEvent modelRequest(const QString& provider, Outcome outcome, double seconds)
    {
        return ModelRequest{provider, outcome, seconds};
    }
    static TelemetryEvent scrollEnabled(bool enabled) { return ScrollEnabled{enabled}; }
    static TelemetryEvent scrollPresetChosen(const QString& preset) { return ScrollPresetChosen{preset}; }
    static TelemetryEvent radialEnabled(bool enabled) { return RadialEnabled{enabled}; }
    static TelemetryEvent radialShapeChosen(const QString& shape) { return RadialShapeChosen{shape}; }
    static TelemetryEvent pluginAdded(PluginSource source) { return PluginAdded{source}; }
    static TelemetryEvent onboardingRestarted() { return OnboardingRestarted{}; }
    static TelemetryEvent radialItemLaunched() { return RadialItemLaunched{}; }

    const Case& value() const { return m_case; }
    // The signal this event becomes on the wire (parameters already redacted).
    TelemetrySignal signal() const;

    bool operator==(const TelemetryEvent&) const = default;

private:
    Case m_case;
};

// Raw values of the nested enumerations: the case names.
QString toRaw(TelemetryEvent::EntryPoint value);
QString toRaw(TelemetryEvent::Outcome value);
QString toRaw(TelemetryEvent::PluginSource value);

namespace TelemetryEvents {
inline constexpr std::array entryPoints{TelemetryEvent::EntryPoint::finder, TelemetryEvent::EntryPoint::selection};
inline constexpr std::array outcomes{TelemetryEvent::Outcome::succeeded, TelemetryEvent::Outcome::failed,
                                     TelemetryEvent::Outcome::cancelled};
inline constexpr std::array pluginSources{TelemetryEvent::PluginSource::composedByModel,
                                          TelemetryEvent::PluginSource::writtenByHand,
                                          TelemetryEvent::PluginSource::importedFile, TelemetryEvent::PluginSource::pasted};

std::optional<TelemetryEvent::EntryPoint> entryPointFromRaw(const QString& raw);
std::optional<TelemetryEvent::Outcome> outcomeFromRaw(const QString& raw);
std::optional<TelemetryEvent::PluginSource> pluginSourceFromRaw(const QString& raw);
} // namespace TelemetryEvents
