#pragma once

#include "AIProviders/AIProviderDescriptor.h"
#include "Onboarding/OnboardingStep.h"
#include "System/Permission.h"
#include "Telemetry/TelemetryEvent.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

class PermissionMonitor;

// One row of the readiness summary.
struct FeatureReadiness {
    QString id;
    QString titleKey;
    QString symbolName;
    bool isAvailable = false;
    std::optional<Permission> blockedBy; // none: it waits for a usable AI provider instead
    // Set when no permission helps: the feature cannot run on this system (its reason's key).
    QString unavailableHereKey;
    bool operator==(const FeatureReadiness&) const = default;
};

// The walk-through of the first start: which step is shown, and every move between the steps
// (forward, skip, back, on a granted permission, to a given step, from the start again, and
// finishing). Steps that cannot work yet are jumped over. Each move is reported. Main thread only.
class OnboardingModel : public QObject {
    Q_OBJECT
public:
    // What the walk-through reads and changes of the application.
    class Application {
    public:
        virtual ~Application() = default;
        virtual PermissionMonitor& permissions() = 0;
        virtual void sendTelemetry(const TelemetryEvent& event) = 0;
        virtual bool aiHasStoredKey() const = 0;
        virtual AIProviderID aiProviderID() const = 0;
        // Whether smooth scrolling can run on this system at all (its session, its devices).
        virtual bool smoothScrollingRunsHere() const = 0;
        virtual void setHasCompletedOnboarding(bool done) = 0;
        virtual void applyLaunchAtLoginDefaultIfNeeded() = 0;
    };

    explicit OnboardingModel(Application& app, QObject* parent = nullptr);

    OnboardingStep step() const { return m_step; }
    // A different step is reported as shown; the same one is not.
    void setStep(OnboardingStep step);
    const QSet<OnboardingStep>& skipped() const { return m_skipped; }
    const QSet<OnboardingStep>& autoAdvancedFrom() const { return m_autoAdvancedFrom; }
    bool hasTriedSelection() const { return m_hasTriedSelection; }
    void setHasTriedSelection(bool tried);

    void advance();
    void skip();
    void goBack();
    void reactToPermissionChange();
    void jump(OnboardingStep step);
    void restart();
    void finish();

    // Finder, selection, scroll, AI: worked out on every read.
    QList<FeatureReadiness> features() const;

signals:
    void stepChanged();
    void hasTriedSelectionChanged();

private:
    bool isGranted(Permission permission) const;
    OnboardingStep resolvingUnreachable(OnboardingStep step) const;
    static std::optional<OnboardingStep> next(OnboardingStep step);

    Application& m_app;
    OnboardingStep m_step = OnboardingStep::welcome;
    QSet<OnboardingStep> m_skipped;
    bool m_hasTriedSelection = false;
    QSet<OnboardingStep> m_autoAdvancedFrom;
};
