#include "Radial/RadialMenuController.h"

#include "RadialCore/RadialItemSource.h"
#include "Selection/ScreenGeometry.h"

#include <chrono>
#include <cmath>

using Event = MouseButtonTap::Event;
using Kind = RadialGesture::Outcome::Kind;
using Outcome = MouseButtonTap::Outcome;

namespace {
double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

QString describe(MouseButtonTap::StartFailure failure)
{
    return failure == MouseButtonTap::StartFailure::notPermitted ? QStringLiteral("notPermitted")
                                                                 : QStringLiteral("unavailable");
}
} // namespace

RadialMenuController::Environment RadialMenuController::Environment::of(const Platform::Services& services,
                                                                     QString ownBundleIdentifier)
{
    return {.taps = services.eventTaps,
            .workspace = services.workspace,
            .windows = services.windowList,
            .screens = services.screens,
            .monitors = services.eventMonitors,
            .keyboard = services.keyboardState,
            .ownBundleIdentifier = std::move(ownBundleIdentifier),
            .now = {}};
}

RadialMenuController::RadialMenuController(Environment environment, const RadialSettings& settings, QObject* parent)
    : QObject(parent)
    , m_env(std::move(environment))
    , m_logger(PrivacyLog::logger(QStringLiteral("RadialMenu")))
    , m_replayer(m_env.taps)
    , m_applications(m_env.workspace, m_env.ownBundleIdentifier)
    , m_gesture(settings.holdThreshold, settings.movementThreshold)
    , m_settings(settings)
    , m_selection(0, settings.shape, 1, 0)
{
    if (!m_env.now)
        m_env.now = steadySeconds;
    if (!m_env.onScreen)
        m_env.onScreen = std::make_shared<Platform::ApplicationsOnScreen>(m_env.windows, m_env.workspace);
    {
        std::lock_guard lock(m_shared.lock);
        m_shared.settings = settings;
    }
    m_frameClock.setTimerType(Qt::PreciseTimer);
    m_frameClock.setInterval(frameIntervalMs);
    connect(&m_frameClock, &QTimer::timeout, this, &RadialMenuController::tick);
    m_holdTimer.setTimerType(Qt::PreciseTimer);
    m_holdTimer.setSingleShot(true);
    connect(&m_holdTimer, &QTimer::timeout, this, &RadialMenuController::holdStep);
}

RadialMenuController::~RadialMenuController()
{
    if (m_tap)
        m_tap->stop();
    m_tap.reset();
    endClickToConfirm();
}

RadialPanel& RadialMenuController::panel()
{
    if (!m_panel) {
        m_panel = std::make_unique<RadialPanel>();
        m_panel->onClick = [this](std::optional<int> index) {
            if (!m_gesture.isAwaitingClick())
                return;
            // A click on the panel that is not on an item closes the ring.
            if (index)
                itemTapped(*index);
            else
                cancel();
        };
    }
    return *m_panel;
}

QString RadialMenuController::limitation() const
{
    return m_env.taps ? m_env.taps->limitation() : QString();
}

void RadialMenuController::apply(const RadialSettings& settings)
{
    m_settings = settings.clamped();
    {
        std::lock_guard lock(m_shared.lock);
        m_shared.settings = m_settings;
    }
    // A ring on screen or a press under way is given up first, so nothing stays swallowed.
    if (!m_gesture.isIdle() || m_ringShown)
        cancel();
    m_gesture = RadialGesture(m_settings.holdThreshold, m_settings.movementThreshold);
    if (m_settings.isEnabled && (!m_tap || !m_tap->isRunning())) {
        start();
        return;
    }
    if (!m_settings.isEnabled && m_tap && m_tap->isRunning()) {
        m_tap->stop();
        m_tap.reset();
        close();
    }
}

void RadialMenuController::start()
{
    if (m_tap || !m_settings.isEnabled)
        return;
    m_tap = std::make_unique<MouseButtonTap>(
        m_env.taps, [this](const Event& event) { return handle(event); }, m_env.now);
    const auto previous = m_startFailure;
    refreshWindows();
    if (const auto started = m_tap->start(); started) {
        m_startFailure.reset();
    } else {
        m_startFailure = started.error();
        m_tap.reset();
        m_logger.error(QStringLiteral("The radial menu could not start: %1").arg(describe(started.error())));
    }
    if (previous != m_startFailure)
        emit startFailureChanged();
}

Outcome RadialMenuController::handle(const Event& event)
{
    auto later = [this](auto step) { QMetaObject::invokeMethod(this, step, Qt::QueuedConnection); };
    switch (event.kind) {
    case Event::Kind::middleDown: {
        RadialSettings settings;
        {
            std::lock_guard lock(m_shared.lock);
            if (!m_shared.settings.isEnabled)
                return Outcome::deliverOriginal;
            settings = m_shared.settings;
        }
        if (RadialApplications::isExcluded(*m_env.onScreen->current(), event.point, settings))
            return Outcome::deliverOriginal;
        {
            std::lock_guard lock(m_shared.lock);
            m_shared.isTracking = true;
            m_shared.isOpen = false;
            // Whatever release was still awaited has come and gone: this press owns the next one.
            m_shared.swallowNextRelease = false;
        }
        later([this, point = event.point, time = event.time] { middleDown(point, time); });
        return Outcome::swallow;
    }
    case Event::Kind::middleUp: {
        std::lock_guard lock(m_shared.lock);
        if (m_shared.swallowNextRelease) {
            m_shared.swallowNextRelease = false;
            return Outcome::swallow;
        }
        if (m_shared.isTracking) {
            m_shared.isTracking = false;
            later([this] { middleUp(); });
            return Outcome::swallow;
        }
        return Outcome::deliverOriginal;
    }
    case Event::Kind::moved: {
        std::lock_guard lock(m_shared.lock);
        if (!m_shared.isTracking)
            return Outcome::deliverOriginal;
        // Once the ring is open the pointer changes nothing: no hand-over for each step.
        if (!m_shared.isOpen)
            later([this, point = event.point] { pointerMoved(point); });
        return Outcome::swallow;
    }
    case Event::Kind::scrolled: {
        std::lock_guard lock(m_shared.lock);
        if (!m_shared.isOpen)
            return Outcome::deliverOriginal;
        // A tilt or an end of phase moves nothing and must not count as a choice.
        if (event.lines != 0 && std::isfinite(event.lines))
            later([this, lines = event.lines] { scrolled(lines); });
        return Outcome::swallow;
    }
    case Event::Kind::otherButton: {
        std::lock_guard lock(m_shared.lock);
        if (m_shared.isTracking) {
            m_shared.isTracking = false;
            m_shared.isOpen = false;
            // The middle button is still down: its release is ours, decided here with the rest.
            m_shared.swallowNextRelease = true;
            later([this] {
                m_gesture.abort();
                close();
            });
        }
        return Outcome::deliverOriginal;
    }
    }
    return Outcome::deliverOriginal;
}

QPointF RadialMenuController::toScreen(QPointF p) const
{
    if (const auto h = ScreenGeometry::primaryHeight(*m_env.screens))
        return ScreenGeometry::flipped(p, *h);
    return p;
}

std::optional<Platform::ScreenInfo> RadialMenuController::screenFor(QPointF point) const
{
    if (auto screen = ScreenGeometry::screenContaining(*m_env.screens, point))
        return screen;
    const auto all = m_env.screens->screens();
    if (all.isEmpty())
        return std::nullopt;
    return all.first();
}

void RadialMenuController::middleDown(QPointF point, double time)
{
    const QPointF p = toScreen(point);
    m_gesture.buttonDown(p, time, m_settings.isEnabled);
    m_origin = p;
    m_hasChosen = false;
    m_holdTimer.start(int(std::ceil(m_settings.holdThreshold * 1000)));
}

void RadialMenuController::holdStep()
{
    {
        // The press was let go (or taken away) already: never open for a button that is up.
        std::lock_guard lock(m_shared.lock);
        if (!m_shared.isTracking) {
            if (m_gesture.isPending())
                m_gesture.abort();
            return;
        }
    }
    const auto outcome = m_gesture.tick(m_env.now());
    if (outcome.kind == Kind::open) {
        open(outcome.origin);
    } else if (outcome.kind == Kind::hold) {
        // The timer came a little early on the press's clock: wait for the rest.
        const auto& pending = std::get<RadialGesture::Pending>(m_gesture.state);
        const double left = pending.since + m_settings.holdThreshold - m_env.now();
        m_holdTimer.start(std::max(1, int(std::ceil(left * 1000))));
    }
}

void RadialMenuController::pointerMoved(QPointF point)
{
    if (!m_gesture.isPending())
        return;
    const auto outcome = m_gesture.pointerMoved(toScreen(point));
    if (outcome.kind == Kind::open)
        open(outcome.origin);
}

void RadialMenuController::scrolled(double lines)
{
    if (!m_gesture.isOpen() || lines == 0 || !std::isfinite(lines))
        return;
    m_selection.move(-lines);
    m_hasChosen = true;
    startClock();
}

void RadialMenuController::middleUp()
{
    m_holdTimer.stop();
    if (m_settings.confirmation == RadialConfirmation::onClick && m_gesture.isOpen()) {
        m_gesture.holdOpen();
        beginClickToConfirm();
        return;
    }
    const bool hasSelection = m_hasChosen && m_selection.selectedIndex().has_value();
    const auto outcome = m_gesture.buttonUp(hasSelection);
    switch (outcome.kind) {
    case Kind::passThroughClick: {
        close();
        QPointF at = outcome.origin;
        if (const auto h = ScreenGeometry::primaryHeight(*m_env.screens))
            at = ScreenGeometry::flipped(at, *h);
        m_replayer.replayClick(at);
        break;
    }
    case Kind::commit:
        commitSelection();
        break;
    default:
        close();
        break;
    }
}

void RadialMenuController::swallowPendingRelease()
{
    std::lock_guard lock(m_shared.lock);
    // Only while the tap still waits for the release: once the button is up, a flag set now
    // would eat the release of the next ordinary click.
    if (m_shared.isTracking) {
        m_shared.isTracking = false;
        m_shared.swallowNextRelease = true;
    }
}

void RadialMenuController::cancel()
{
    m_gesture.abort();
    swallowPendingRelease();
    close();
}

void RadialMenuController::close()
{
    endClickToConfirm();
    {
        std::lock_guard lock(m_shared.lock);
        m_shared.isTracking = false;
        m_shared.isOpen = false;
    }
    m_frameClock.stop();
    m_holdTimer.stop();
    m_hasChosen = false;
    if (m_panel)
        m_panel->close();
    if (m_ringShown) {
        m_ringShown = false;
        emit ringClosed();
    }
    if (isRunning())
        refreshWindows();
}

void RadialMenuController::open(QPointF at)
{
    m_holdTimer.stop();
    endClickToConfirm();
    m_entries = m_applications.resolveEntries(m_settings);
    if (m_entries.isEmpty()) {
        m_gesture.abort();
        std::lock_guard lock(m_shared.lock);
        m_shared.isTracking = false;
        return;
    }
    m_origin = at;
    m_selection = RadialSelection(int(m_entries.size()), m_settings.shape, m_settings.visibleCount,
                                  RadialItemSource::initialPosition);
    const auto layout = RadialGeometry::layout(m_settings.radius, int(m_entries.size()), m_settings.shape,
                                               m_settings.visibleCount, idealItemSize, minimumItemSize);
    m_effectiveRadius = layout.radius;
    m_effectiveIconSize = layout.itemSize / cellFactor;
    const auto screen = screenFor(at);
    const QRectF visible = screen ? screen->visibleFrame : QRectF();
    m_panelHeight = screen ? screen->frame.height() : 0;
    m_facing = RadialGeometry::facing(at, visible, m_effectiveRadius);
    m_presentation = RadialPresentation();
    {
        std::lock_guard lock(m_shared.lock);
        m_shared.isOpen = true;
    }
    if (screen)
        panel().show(makeView(), *screen);
    else
        m_logger.error(QStringLiteral("No screen for the ring; not showing"));
    const bool wasShown = std::exchange(m_ringShown, true);
    if (!wasShown)
        emit ringShown();
    startClock();
}

QList<RadialGeometry::Placement> RadialMenuController::currentPlacements() const
{
    return RadialGeometry::placements(int(m_entries.size()), m_selection.position, m_settings.shape,
                                      m_settings.visibleCount, m_facing);
}

RadialMenuView RadialMenuController::makeView()
{
    RadialMenuView view;
    view.entries = m_entries;
    view.placements = currentPlacements();
    const auto screen = ScreenGeometry::screenContaining(*m_env.screens, m_origin);
    view.centre = screen ? m_origin - screen->frame.topLeft() : m_origin;
    view.radius = m_effectiveRadius;
    view.selectedIndex = m_selection.selectedIndex();
    view.showsLabel = m_hasChosen;
    view.height = m_panelHeight;
    view.presentation = m_presentation;
    view.iconSize = m_effectiveIconSize;
    if (m_gesture.isAwaitingClick())
        view.onTap = [this](int index) { itemTapped(index); };
    return view;
}

void RadialMenuController::redraw()
{
    if (m_panel && m_panel->isShown())
        m_panel->update(makeView());
}

void RadialMenuController::startClock()
{
    if (m_frameClock.isActive())
        return;
    m_lastFrame = m_env.now();
    m_frameClock.start();
}

void RadialMenuController::tick()
{
    if (!m_gesture.isOpen()) {
        m_frameClock.stop();
        return;
    }
    const double now = m_env.now();
    const double previous = std::exchange(m_lastFrame, now);
    using Key = Platform::KeyboardState::Key;
    if (m_env.keyboard && m_env.keyboard->isDown(Key::escape)) {
        cancel();
        return;
    }
    if (m_hasChosen && m_env.keyboard
        && (m_env.keyboard->isDown(Key::returnKey) || m_env.keyboard->isDown(Key::keypadEnter))) {
        m_gesture.abort();
        swallowPendingRelease();
        commitSelection();
        return;
    }
    const double dt = std::max(shortestFrame, std::min(longestFrame, now - previous));
    const bool settledBefore = m_presentation.isComplete() && m_selection.isResting();
    m_presentation.advance(dt);
    m_selection.advance(dt);
    if (!(settledBefore && m_selection.isResting()))
        redraw();
    if (m_presentation.isComplete() && m_selection.isResting())
        m_selection.releaseRubberBand();
}

void RadialMenuController::beginClickToConfirm()
{
    endClickToConfirm();
    panel().setIgnoresMouseEvents(false);
    if (m_env.monitors) {
        // Middle presses go through the tap, which restarts the gesture; only the other buttons
        // outside the ring cancel here.
        m_confirmationMonitor = m_env.monitors->addGlobalMonitor(
            Platform::leftMouseDown | Platform::rightMouseDown, [this](const Platform::InputEvent& event) {
                if (m_gesture.isAwaitingClick() && !isOverAnItem(event.location))
                    cancel();
            });
    }
    // The ring may be at rest: draw it once now so that a click at once reaches its items.
    redraw();
}

void RadialMenuController::endClickToConfirm()
{
    if (m_panel)
        m_panel->setIgnoresMouseEvents(true);
    if (m_confirmationMonitor && m_env.monitors)
        m_env.monitors->removeMonitor(*m_confirmationMonitor);
    m_confirmationMonitor.reset();
}

bool RadialMenuController::isOverAnItem(QPointF q) const
{
    const double r = m_effectiveIconSize * cellFactor * 0.5;
    for (const auto& placement : currentPlacements()) {
        if (placement.opacity <= hittableOpacity)
            continue;
        const QPointF c(m_origin.x() + std::cos(placement.angle) * m_effectiveRadius,
                        m_origin.y() + std::sin(placement.angle) * m_effectiveRadius);
        if (std::hypot(q.x() - c.x(), q.y() - c.y()) <= r)
            return true;
    }
    return false;
}

void RadialMenuController::itemTapped(int index)
{
    if (!m_gesture.isAwaitingClick())
        return;
    m_selection.point(index);
    m_hasChosen = true;
    m_gesture.abort();
    commitSelection();
}

void RadialMenuController::commitSelection()
{
    const auto index = m_selection.selectedIndex();
    if (!index) {
        close();
        return;
    }
    std::optional<RadialItem> item;
    if (*index >= 0 && *index < m_entries.size())
        item = m_entries[*index].item;
    close();
    if (item && !item->isCancel() && onLaunch)
        onLaunch(*item);
}

void RadialMenuController::refreshWindows()
{
    m_env.onScreen->refresh();
}
