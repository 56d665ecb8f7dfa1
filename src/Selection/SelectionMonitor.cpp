#include "Selection/SelectionMonitor.h"

#include "ActionCore/ActionArranger.h"
#include "ActionCore/ActionCoreStrings.h"
#include "ContextCore/SelectionGate.h"
#include "Selection/AccessibilityBridge.h"
#include "Selection/CurrencyPreference.h"
#include "Selection/ScreenGeometry.h"
#include "Selection/SelectionToolbarView.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWindow>

#include <cmath>

using Platform::InputEvent;

const QSet<QString>& SelectionMonitor::defaultBlocklist()
{
    static const QSet<QString> set{"com.apple.keychainaccess", "com.agilebits.onepassword7", "com.1password.1password",
                                   "com.bitwarden.desktop", "com.apple.Terminal.SecureKeyboardEntry"};
    return set;
}

const QSet<QString>& SelectionMonitor::shippedActionIDs()
{
    static const QSet<QString> set = [] {
        QSet<QString> ids;
        for (const auto& a : TextActionCatalog::all())
            ids.insert(a.id);
        return ids;
    }();
    return set;
}

SelectionMonitor::SelectionMonitor(Platform::Services services, Timings timings, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_timings(timings)
    , m_logger(PrivacyLog::logger(QStringLiteral("SelectionMonitor")))
    , m_capture(services)
    , m_panel(std::make_unique<ToolbarPanel>(services.screens))
    , m_blocklist(defaultBlocklist())
    , m_searchEngine(SearchEngine::defaultEngine())
    , m_translationService(TranslationService::defaultService())
    , m_translationTarget(TranslationTarget::defaultTarget())
    , m_targetCurrency(CurrencyPreference::localCode())
    , m_actionPreferences(ActionPreferences::defaultValue())
{
    m_capture.copyWait = m_timings.copyWait;
    m_panel->hint().delay = m_timings.hintDelay;
    m_captureTimer.setSingleShot(true);
    m_captureTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_captureTimer, &QTimer::timeout, this, &SelectionMonitor::settled);
    m_resultTimer.setSingleShot(true);
    m_resultTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_resultTimer, &QTimer::timeout, this, &SelectionMonitor::dismiss);
}

SelectionMonitor::~SelectionMonitor()
{
    for (auto token : std::as_const(m_monitors))
        m_services.eventMonitors->removeMonitor(token);
}

void SelectionMonitor::setEnabled(bool enabled)
{
    if (enabled == m_isEnabled)
        return;
    m_isEnabled = enabled;
    emit isEnabledChanged();
}

// MARK: lifecycle

void SelectionMonitor::start()
{
    if (m_isEnabled)
        return;
    if (!m_services.accessibility->isTrusted()) {
        m_logger.info(QStringLiteral("Selection monitoring not started: Accessibility not granted"));
        return;
    }
    installMonitors();
}

void SelectionMonitor::stop()
{
    for (auto token : std::as_const(m_monitors))
        m_services.eventMonitors->removeMonitor(token);
    m_monitors.clear();
    disconnect(m_activation);
    m_captureTimer.stop();
    dismiss();
    setEnabled(false);
}

void SelectionMonitor::installMonitors()
{
    using namespace Platform;
    QPointer<SelectionMonitor> self(this);
    addMonitor(leftMouseUp, [self](const InputEvent& e) {
        if (self)
            self->handleMouseUp(e);
    });
    addMonitor(leftMouseDown | rightMouseDown | otherMouseDown, [self](const InputEvent& e) {
        if (self)
            self->handlePress(e);
    });
    addMonitor(leftMouseDragged, [self](const InputEvent&) {
        if (self)
            self->handleDrag();
    });
    addMonitor(keyDown | scrollWheel, [self](const InputEvent&) {
        if (self)
            self->dismiss();
    });
    m_activation = connect(m_services.workspace.get(), &Workspace::applicationActivated, this,
                           &SelectionMonitor::handleActivation, Qt::QueuedConnection);
    setEnabled(true);
}

void SelectionMonitor::addMonitor(Platform::EventMask mask, std::function<void(const InputEvent&)> handler)
{
    auto& monitors = *m_services.eventMonitors;
    if (auto token = monitors.addGlobalMonitor(mask, handler))
        m_monitors << *token;
    QPointer<SelectionMonitor> self(this);
    if (auto token = monitors.addLocalMonitor(mask, [self, handler](const InputEvent& e) {
            // A press inside the toolbar (or its menu) must not dismiss it.
            if (self && !self->belongsToPanels(e.window))
                handler(e);
        }))
        m_monitors << *token;
}

bool SelectionMonitor::belongsToPanels(const QWindow* window) const
{
    for (const QWindow* w = window; w; w = w->transientParent()) {
        if (w == m_panel->windowHandle() || w == m_panel->hint().windowHandle())
            return true;
    }
    return false;
}

// MARK: events

void SelectionMonitor::handlePress(const InputEvent& event)
{
    if (event.type == Platform::leftMouseDown) {
        m_capture.notePress();
        m_mouseDown = m_services.eventMonitors->pointerLocation();
        m_hasNotedDrag = false;
        m_draggedWindow = {};
    }
    dismiss();
}

void SelectionMonitor::handleDrag()
{
    if (m_hasNotedDrag || !m_mouseDown)
        return;
    m_hasNotedDrag = true;
    const auto found = DraggedWindow::window(*m_services.windowList, ScreenGeometry::primaryHeight(*m_services.screens),
                                             *m_mouseDown);
    m_draggedWindow = found ? DraggedWindow{found->number, found->frame.topLeft()} : DraggedWindow{};
}

void SelectionMonitor::handleActivation(const Platform::ApplicationInfo& app)
{
    if (app.processID != 0 && app.processID == QCoreApplication::applicationPid())
        return;
    dismiss();
}

void SelectionMonitor::reject()
{
    dismiss();
}

void SelectionMonitor::handleMouseUp(const InputEvent& event)
{
    auto& monitors = *m_services.eventMonitors;
    const QPointF pointer = monitors.pointerLocation();
    m_lastMouseUp = pointer;
    const std::optional<QPointF> down = m_mouseDown;
    m_mouseDown.reset();

    if (monitors.modifierFlags().has(Platform::ModifierFlags::function))
        return reject();

    const double travel = down ? std::hypot(pointer.x() - down->x(), pointer.y() - down->y()) : 0;
    if (event.clickCount <= 1 && travel < minimumTravel)
        return reject();

    if (m_draggedWindow.windowNumber && m_draggedWindow.origin) {
        if (auto frame = DraggedWindow::frame(*m_services.windowList, *m_draggedWindow.windowNumber)) {
            const QPointF moved = frame->topLeft() - *m_draggedWindow.origin;
            if (std::abs(moved.x()) > windowMoveTolerance || std::abs(moved.y()) > windowMoveTolerance) {
                m_logger.info(QStringLiteral("Drag moved a window; not a selection"));
                m_draggedWindow = {};
                return reject();
            }
        }
    }
    m_draggedWindow = {};

    const auto primaryHeight = ScreenGeometry::primaryHeight(*m_services.screens);
    if (down && primaryHeight) {
        const QPointF topLeft = ScreenGeometry::flipped(*down, *primaryHeight);
        if (SelectionGate::isDesktop(topLeft, DraggedWindow::onScreenSurfaces(*m_services.windowList))) {
            m_logger.info(QStringLiteral("Drag began on the desktop; not a selection"));
            return reject();
        }
    }

    const auto front = m_services.workspace->frontmostApplication();
    const QString bundleID = front ? front->bundleIdentifier : QString();

    if (down) {
        const auto d = AccessibilityBridge::elementDescription(*m_services.accessibility, primaryHeight, *down);
        if (SelectionGate::isFileListingPress(d.exposesSelectedText, bundleID)) {
            m_logger.info(QStringLiteral("Press landed on a file listing; not text"));
            return reject();
        }
        if (!SelectionGate::shouldAttemptCapture(d.role, d.exposesSelectedText)) {
            m_logger.info(QStringLiteral("Drag began on %1; not text").arg(d.role.value_or(QStringLiteral("?"))));
            return reject();
        }
        if (d.elementFound && !d.advertisesTextAttributes) {
            m_logger.info(QStringLiteral("Press landed on a graphics surface; not text"));
            return reject();
        }
    }

    if (m_blocklist.contains(bundleID) || SelectionGate::isRemoteDesktop(bundleID))
        return reject();

    m_logger.info(QStringLiteral("Mouse-up in %1; capturing").arg(bundleID));
    m_captureTimer.stop();
    m_captureDown = down;
    m_captureTimer.start(m_timings.settle);
}

void SelectionMonitor::settled()
{
    if (m_captureDown) {
        const auto d = AccessibilityBridge::elementDescription(*m_services.accessibility,
                                                               ScreenGeometry::primaryHeight(*m_services.screens),
                                                               *m_captureDown);
        if (d.evidence == SelectionGate::SelectionEvidence::empty) {
            m_logger.info(QStringLiteral("Nothing selected under the press; no copy sent"));
            dismiss();
            return;
        }
    }
    captureAndPresent();
}

void SelectionMonitor::dismiss()
{
    m_captureTimer.stop();
    m_resultTimer.stop();
    m_panel->hint().hide();
    m_panel->dismiss();
    m_currentSnapshot.reset();
    m_currentElement.reset();
}

// MARK: presentation

void SelectionMonitor::captureAndPresent()
{
    QPointer<SelectionMonitor> self(this);
    m_capture.capture(m_lastMouseUp, this, [self](std::optional<SelectionCapture::Result> result) {
        if (self)
            self->accept(std::move(result));
    });
}

void SelectionMonitor::accept(std::optional<SelectionCapture::Result> result)
{
    // A capture that ends after the monitor was stopped shows nothing.
    if (!m_isEnabled)
        return;
    if (!result)
        return dismiss();
    const ContextSnapshot& s = result->snapshot;
    if (s.isSecure || s.kind == ContextKind::secureText || !s.selectedText || s.selectedText->trimmed().isEmpty())
        return dismiss();
    m_currentSnapshot = s;
    m_currentElement = result->element;
    present(s);
}

QRectF SelectionMonitor::anchor() const
{
    if (m_currentSnapshot && m_currentSnapshot->anchorRect)
        return *m_currentSnapshot->anchorRect;
    return {};
}

void SelectionMonitor::present(const ContextSnapshot& snapshot)
{
    QList<ActionDefinition> candidates = TextActionCatalog::availableActions(snapshot);
    const ArrangedActions arranged = ActionArranger::arrange(candidates, snapshot, m_actionPreferences, true);
    if (arranged.primary.isEmpty()) {
        m_logger.info(QStringLiteral("No actions apply to this selection; nothing shown"));
        dismiss();
        return;
    }
    m_logger.info(QStringLiteral("Showing toolbar with %1 actions").arg(arranged.primary.size()));
    QPointer<SelectionMonitor> self(this);
    auto* view = new SelectionToolbarView(
        arranged.primary, arranged.overflow,
        [self](const ActionDefinition& a) { return self ? self->displayTitle(a) : a.titleKey; },
        [self](const std::optional<QString>& title, const QRectF& frame) {
            if (!self)
                return;
            if (title && self->m_panel->isVisible())
                self->m_panel->hint().show(*title, frame, self->m_panel->screenFrame());
            else
                self->m_panel->hint().hide();
        },
        [self](const ActionDefinition& a) {
            if (self)
                self->run(a);
        });
    const QRectF near = snapshot.anchorRect.value_or(QRectF());
    m_panel->show(view, near, m_lastMouseUp, ToolbarPanel::Shape::capsule);
    ++m_presentationCount;
    emit presentationCountChanged();
}

QString SelectionMonitor::displayTitle(const ActionDefinition& action) const
{
    if (!action.requiresAI)
        return ActionCoreStrings::string(action.titleKey);
    return action.titleKey;
}

// MARK: running

void SelectionMonitor::run(const ActionDefinition& action)
{
    if (!m_currentSnapshot)
        return;
    const ContextSnapshot snapshot = *m_currentSnapshot;
    if (snapshot.isStale(m_services.clock->now(), staleAfterSeconds) || snapshot.isSecure
        || snapshot.kind == ContextKind::secureText) {
        dismiss();
        return;
    }
    if (action.requiresAI) {
        runAI(action, snapshot);
        return;
    }
    const TextActionCatalog::Settings settings{m_searchEngine, m_translationService, m_translationTarget, m_targetCurrency};
    const auto outcome = TextActionCatalog::perform(action, snapshot, settings, *m_services.pasteboards->general(),
                                                    *m_services.workspace);
    if (const auto* text = std::get_if<TextActionCatalog::Text>(&outcome))
        presentResult(text->text);
    else
        dismiss();
}

void SelectionMonitor::presentResult(const QString& text)
{
    m_panel->show(new SelectionResultView(text), anchor(), m_lastMouseUp, ToolbarPanel::Shape::capsule);
    m_resultTimer.start(m_timings.resultDuration);
}

void SelectionMonitor::runAI(const ActionDefinition&, const ContextSnapshot&)
{
    // Without the AI settings model there is nothing to run.
    dismiss();
}
