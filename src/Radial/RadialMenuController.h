#pragma once

#include "Platform/EventMonitors.h"
#include "Platform/EventTaps.h"
#include "Platform/KeyboardState.h"
#include "Platform/Screens.h"
#include "Platform/Services.h"
#include "Platform/WindowList.h"
#include "Platform/Workspace.h"
#include "Radial/MouseButtonTap.h"
#include "Radial/RadialApplications.h"
#include "Radial/RadialMenuView.h"
#include "Radial/RadialPanel.h"
#include "RadialCore/RadialGesture.h"
#include "RadialCore/RadialSelection.h"
#include "SecurityCore/PrivacyLog.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// The radial menu: its settings, the middle-button tap, the gesture, the ring on screen and the
// commit of the chosen application. Main thread, except the tap's handler, which touches only the
// lock-guarded shared state and the windows snapshot and hands everything else to the main thread.
class RadialMenuController : public QObject {
    Q_OBJECT
public:
    struct Environment {
        std::shared_ptr<Platform::EventTaps> taps;
        std::shared_ptr<Platform::Workspace> workspace;
        std::shared_ptr<Platform::WindowList> windows;
        // The windows snapshot shared with other input features; one of its own when not given.
        std::shared_ptr<Platform::ApplicationsOnScreen> onScreen;
        std::shared_ptr<Platform::Screens> screens;
        std::shared_ptr<Platform::EventMonitors> monitors;
        std::shared_ptr<Platform::KeyboardState> keyboard;
        QString ownBundleIdentifier;
        // Seconds on a steady clock; the press times and the hold are measured on it.
        std::function<double()> now;

        // The services of one platform set, on the steady clock.
        static Environment of(const Platform::Services& services, QString ownBundleIdentifier = {});
    };

    static constexpr double idealItemSize = 72 * 1.12;
    static constexpr double minimumItemSize = 40 * 1.12;
    static constexpr double cellFactor = 1.12;
    static constexpr int frameIntervalMs = 8; // about 120 frames a second
    static constexpr double longestFrame = 0.1;
    static constexpr double shortestFrame = 0.0005;
    static constexpr double hittableOpacity = 0.4;

    RadialMenuController(Environment environment, const RadialSettings& settings, QObject* parent = nullptr);
    ~RadialMenuController() override;

    void apply(const RadialSettings& settings);
    void start();
    std::optional<MouseButtonTap::StartFailure> startFailure() const { return m_startFailure; }
    // What the session lacks for the tap, in a sentence; empty when nothing.
    QString limitation() const;
    // Called with the chosen item once the ring has closed.
    std::function<void(const RadialItem&)> onLaunch;

    // Read by the tests and the benchmarks.
    const RadialSettings& settings() const { return m_settings; }
    bool isRunning() const { return m_tap && m_tap->isRunning(); }
    bool isRingShown() const { return m_ringShown; }
    const RadialGesture& gesture() const { return m_gesture; }
    const RadialSelection& selection() const { return m_selection; }
    const QList<RadialEntry>& entries() const { return m_entries; }
    QPointF origin() const { return m_origin; }
    double effectiveRadius() const { return m_effectiveRadius; }
    double effectiveIconSize() const { return m_effectiveIconSize; }
    RadialFacing facing() const { return m_facing; }
    bool hasChosen() const { return m_hasChosen; }
    // Made when the ring first opens.
    RadialPanel& panel();
    RadialMenuView makeView();
    bool isOverAnItem(QPointF point) const;
    // The tap's decision for one event (the handler on the tap thread).
    MouseButtonTap::Outcome handle(const MouseButtonTap::Event& event);
    // One frame of the ring's clock.
    void tick();

signals:
    void startFailureChanged();
    void ringShown();
    void ringClosed();

private:
    struct SharedState {
        mutable std::mutex lock;
        RadialSettings settings;
        bool isTracking = false;
        bool isOpen = false;
        bool swallowNextRelease = false;
    };

    void middleDown(QPointF point, double time);
    void middleUp();
    void pointerMoved(QPointF point);
    void scrolled(double lines);
    void holdStep();
    void cancel();
    // Swallows the release still to come of a held middle button, if the tap has not seen it yet.
    void swallowPendingRelease();
    void close();
    void open(QPointF at);
    void startClock();
    void beginClickToConfirm();
    void endClickToConfirm();
    void itemTapped(int index);
    void commitSelection();
    void refreshWindows();
    QList<RadialGeometry::Placement> currentPlacements() const;
    QPointF toScreen(QPointF tapPoint) const;
    std::optional<Platform::ScreenInfo> screenFor(QPointF point) const;
    void redraw();

    Environment m_env;
    PrivacyLog::Logger m_logger;
    std::unique_ptr<RadialPanel> m_panel;
    MiddleClickReplayer m_replayer;
    RadialApplications m_applications;
    SharedState m_shared;
    std::unique_ptr<MouseButtonTap> m_tap;
    RadialGesture m_gesture;
    RadialSettings m_settings;
    RadialSelection m_selection;
    QTimer m_frameClock;
    QTimer m_holdTimer;
    double m_lastFrame = 0;
    QList<RadialEntry> m_entries;
    QPointF m_origin;
    RadialFacing m_facing = RadialFacing::up;
    double m_effectiveRadius = 110;
    double m_effectiveIconSize = 72;
    double m_panelHeight = 0;
    bool m_hasChosen = false;
    bool m_ringShown = false;
    std::optional<Platform::EventMonitors::Token> m_confirmationMonitor;
    RadialPresentation m_presentation;
    std::optional<MouseButtonTap::StartFailure> m_startFailure;
};
