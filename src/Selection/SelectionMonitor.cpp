#include "Selection/SelectionMonitor.h"

#include "AI/AIViewModel.h"
#include "AIProviders/AIOutputLanguage.h"
#include "AIProviders/AIProvidersStrings.h"
#include "ActionCore/ActionArranger.h"
#include "ActionCore/ActionCoreStrings.h"
#include "ContextCore/ModelReply.h"
#include "ContextCore/ScriptApprovals.h"
#include "ContextCore/SelectionGate.h"
#include "LocalActions/Runners/ScriptRunner.h"
#include "Selection/AIResultView.h"
#include "Selection/AccessibilityBridge.h"
#include "Selection/CurrencyPreference.h"
#include "Selection/PasteboardGuard.h"
#include "Selection/ScreenGeometry.h"
#include "Selection/SelectionStrings.h"
#include "Selection/SelectionToolbarView.h"
#include "Telemetry/TelemetryClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

using Platform::InputEvent;

namespace {
// The text of a failed script run: a script is not a provider, so its failures say what the
// script did.
QString scriptFailureKey(const ScriptRunner::Outcome& outcome)
{
    if (outcome) // 128 and more: ended by a signal, the time limit's among them
        return outcome->exitCode >= 128 ? QStringLiteral("script.error.stopped") : QStringLiteral("script.error.failed");
    const ScriptRunner::RunError& error = outcome.error();
    if (std::holds_alternative<ScriptRunner::MissingTools>(error))
        return QStringLiteral("script.error.missingTools");
    if (std::holds_alternative<ScriptRunner::TimedOut>(error))
        return QStringLiteral("script.error.timedOut");
    if (std::holds_alternative<ScriptRunner::NotApproved>(error))
        return QStringLiteral("script.error.notApproved");
    return QStringLiteral("script.error.launchFailed");
}
} // namespace

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
        for (const auto& t : AIActionTemplate::builtIns())
            ids.insert(t.id);
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
    if (m_stream)
        m_stream->cancel();
    for (auto token : std::as_const(m_monitors))
        m_services.eventMonitors->removeMonitor(token);
}

void SelectionMonitor::setAI(AIViewModel* ai)
{
    m_ai = ai;
}

AIViewModel* SelectionMonitor::ai() const
{
    return m_ai;
}

void SelectionMonitor::setTelemetry(TelemetryClient* telemetry)
{
    m_telemetry = telemetry;
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
        m_mouseDown = m_services.eventMonitors->pointerLocation();
        m_gesturePress = m_mouseDown;
        // A double click's selection may be taken at its second press: count from the first.
        if (event.clickCount <= 1 || !m_selectionBufferAtPress)
            m_selectionBufferAtPress = m_services.pasteboards->selectionBufferChangeCount();
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
    if (m_focusReturnsTo && app.processID == *m_focusReturnsTo) {
        m_focusReturnsTo.reset();
        return;
    }
    // A press in a window behind others activates it, and the window manager may say so only
    // after a quick drag has ended: that is the selection's own application, not a switch away.
    if (app.processID != 0 && m_gesturePress) {
        const auto pressed = DraggedWindow::window(*m_services.windowList, ScreenGeometry::primaryHeight(*m_services.screens),
                                                   *m_gesturePress);
        const auto info = pressed ? m_services.windowList->window(pressed->number) : std::nullopt;
        if (info && info->ownerProcessID == app.processID)
            return;
    }
    dismiss();
}

void SelectionMonitor::reject()
{
    dismiss();
}

void SelectionMonitor::handleMouseUp(const InputEvent& event)
{
    // The settle wait counts from the mouse-up itself, not from the end of the checks below,
    // which ask other applications and may take a while.
    QElapsedTimer sinceMouseUp;
    sinceMouseUp.start();
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

    std::optional<AccessibilityBridge::Element> pressed;
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
        pressed = d.element;
    }

    if (m_blocklist.contains(bundleID) || SelectionGate::isRemoteDesktop(bundleID))
        return reject();

    m_logger.info(QStringLiteral("Mouse-up in %1; capturing").arg(bundleID));
    m_captureTimer.stop();
    m_captureDown = down;
    m_capturePressed = pressed;
    const auto elapsed = std::chrono::milliseconds(sinceMouseUp.elapsed());
    m_captureTimer.start(std::max(m_timings.settle - elapsed, std::chrono::milliseconds(0)));
}

void SelectionMonitor::settled()
{
    std::optional<std::pair<AccessibilityBridge::Element, QString>> read;
    bool complete = true;
    if (m_captureDown) {
        // The element found under the press at the mouse-up is asked again for its selection; only
        // when none was found then is the point looked up again.
        std::optional<AccessibilityBridge::Element> element = m_capturePressed;
        AccessibilityBridge::SelectionRead selection;
        if (m_capturePressed) {
            selection = AccessibilityBridge::readSelection(*m_services.accessibility, m_capturePressed);
        } else {
            const auto d = AccessibilityBridge::elementDescription(
                *m_services.accessibility, ScreenGeometry::primaryHeight(*m_services.screens), *m_captureDown);
            element = d.element;
            selection = {d.selectedText, d.evidence, d.selectionComplete};
        }
        if (selection.evidence == SelectionGate::SelectionEvidence::empty) {
            m_logger.info(QStringLiteral("Nothing selected under the press; no copy sent"));
            dismiss();
            return;
        }
        // The capture takes it from here rather than reading it once more.
        if (element && selection.text) {
            read.emplace(*element, *selection.text);
            complete = selection.complete;
        }
    }
    captureAndPresent(std::move(read), complete);
}

void SelectionMonitor::dismiss()
{
    m_focusReturnsTo.reset();
    m_captureTimer.stop();
    m_resultTimer.stop();
    cancelAITask();
    if (m_currentRun)
        m_currentRun.release()->deleteLater();
    m_panel->hint().hide();
    m_panel->dismiss();
    m_currentSnapshot.reset();
    m_currentElement.reset();
    m_currentTextComplete = true;
    m_completing = false;
    ++m_selectionGeneration;
}

// MARK: presentation

void SelectionMonitor::captureAndPresent(std::optional<std::pair<AccessibilityBridge::Element, QString>> selectedText,
                                         bool selectedTextComplete)
{
    QPointer<SelectionMonitor> self(this);
    SelectionCapture::Gesture gesture{.selectionBufferAtPress = m_selectionBufferAtPress,
                                      .window = std::nullopt,
                                      .selectedText = std::move(selectedText),
                                      .selectedTextComplete = selectedTextComplete};
    if (m_gesturePress)
        if (const auto pressed = DraggedWindow::window(*m_services.windowList, ScreenGeometry::primaryHeight(*m_services.screens),
                                                       *m_gesturePress))
            gesture.window = pressed->number;
    m_capture.capture(
        m_lastMouseUp, this,
        [self](std::optional<SelectionCapture::Result> result) {
            if (self)
                self->accept(std::move(result));
        },
        gesture);
}

void SelectionMonitor::accept(std::optional<SelectionCapture::Result> result)
{
    // A capture that ends after the monitor was stopped shows nothing.
    if (!m_isEnabled)
        return;
    if (!result)
        return dismiss();
    const ContextSnapshot& s = result->snapshot;
    // Looked at in place: a selection may be megabytes long. Blanks at the beginning of a long one
    // say nothing of the rest.
    if (s.isSecure || s.kind == ContextKind::secureText || !s.selectedText
        || (result->textComplete && QStringView(*s.selectedText).trimmed().isEmpty()))
        return dismiss();
    m_currentSnapshot = s;
    m_currentElement = result->element;
    m_currentTextComplete = result->textComplete;
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
    // The titles of the AI actions, looked up once for the whole toolbar: thousands of imported
    // actions would make a search through every template for each button and menu item slow.
    QHash<QString, QString> aiTitles;
    for (const AIActionTemplate& t : templates()) {
        if (t.scope == ActionScope::text)
            candidates << t.actionDefinition();
        if (!aiTitles.contains(t.id)) // the first template with an identifier names it
            aiTitles.insert(t.id, title(t));
    }
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
        [aiTitles = std::move(aiTitles)](const ActionDefinition& a) {
            if (!a.requiresAI)
                return ActionCoreStrings::string(a.titleKey);
            return aiTitles.value(a.id, a.titleKey);
        },
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
    send(TelemetryEvent::toolbarShown(arranged.primary.size()));
}

QString SelectionMonitor::displayTitle(const ActionDefinition& action) const
{
    if (!action.requiresAI)
        return ActionCoreStrings::string(action.titleKey);
    for (const AIActionTemplate& t : templates()) {
        if (t.id == action.id)
            return title(t);
    }
    return action.titleKey;
}

QList<AIActionTemplate> SelectionMonitor::templates() const
{
    if (!m_ai)
        return {};
    return AIActionTemplate::builtIns() + m_ai->customActions();
}

QString SelectionMonitor::title(const AIActionTemplate& actionTemplate)
{
    // A custom action's title is stored as the user wrote it.
    return actionTemplate.isBuiltIn ? AIProvidersStrings::string(actionTemplate.titleKey) : actionTemplate.titleKey;
}

void SelectionMonitor::send(const TelemetryEvent& event)
{
    if (m_telemetry)
        m_telemetry->send(event);
}

// MARK: running

void SelectionMonitor::run(const ActionDefinition& action)
{
    if (!m_currentSnapshot)
        return;
    // Reported before the checks, so a press on a stale toolbar counts too.
    send(TelemetryEvent::actionRun(shippedActionIDs().contains(action.id) ? action.id : TelemetryEvent::customAction,
                                   TelemetryEvent::EntryPoint::selection));
    const ContextSnapshot& shown = *m_currentSnapshot;
    if (shown.isStale(m_services.clock->now(), staleAfterSeconds) || shown.isSecure || shown.kind == ContextKind::secureText) {
        dismiss();
        return;
    }
    // Checked first: a stale or secure selection is never read whole.
    if (!m_currentTextComplete)
        return completeThenRun(action);
    perform(action);
}

void SelectionMonitor::perform(const ActionDefinition& action)
{
    const ContextSnapshot snapshot = *m_currentSnapshot;
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

void SelectionMonitor::completeThenRun(const ActionDefinition& action)
{
    // The toolbar decided on the beginning of a long selection; what an action is given (a copy,
    // a script's input, a prompt) is all of it, read now, or nothing.
    if (m_completing)
        return;
    if (!m_currentElement) {
        m_logger.info(QStringLiteral("The whole selection could not be read; nothing run"));
        return dismiss();
    }
    m_completing = true;
    QPointer<SelectionMonitor> self(this);
    const quint64 generation = m_selectionGeneration;
    m_logger.info(QStringLiteral("Reading the whole selection for an action"));
    m_services.accessibility->readSelectedText(
        *m_currentElement, this, [self, generation, action](std::expected<QString, Platform::Accessibility::Failure> text) {
            // Dismissed meanwhile: that selection is no longer the one shown.
            if (!self || self->m_selectionGeneration != generation || !self->m_currentSnapshot)
                return;
            self->m_completing = false;
            if (!text || text->isEmpty()) {
                self->m_logger.info(QStringLiteral("The whole selection could not be read; nothing run"));
                self->dismiss();
                return;
            }
            ContextSnapshot& s = *self->m_currentSnapshot;
            s.kind = SelectionCapture::kind(*text, s.isEditable);
            s.selectedText = std::move(*text);
            self->m_currentTextComplete = true;
            self->perform(action);
        });
}

void SelectionMonitor::presentResult(const QString& text)
{
    m_panel->show(new SelectionResultView(text), anchor(), m_lastMouseUp, ToolbarPanel::Shape::capsule);
    m_resultTimer.start(m_timings.resultDuration);
}

QString SelectionMonitor::outputLanguageDescription() const
{
    return AIOutputLanguage::fromSetting(m_outputLanguage).languageDescription();
}

bool SelectionMonitor::isAITaskLive() const
{
    return (m_stream && m_stream->state() == AIStream::State::running) || m_scriptTask;
}

AIRun* SelectionMonitor::beginRun(const AIActionTemplate& actionTemplate)
{
    // The old run's card may still be handling the press that asked for this one.
    if (m_currentRun)
        m_currentRun.release()->deleteLater();
    m_currentRun = std::make_unique<AIRun>(title(actionTemplate));
    return m_currentRun.get();
}

void SelectionMonitor::cancelAITask()
{
    if (m_stream) {
        const bool live = m_stream->state() == AIStream::State::running;
        m_stream->cancel();
        m_stream.release()->deleteLater();
        if (live)
            reportModelRequest(TelemetryEvent::Outcome::cancelled);
    }
    if (m_scriptTask) {
        // A script cannot be called back once started; its result is no longer awaited.
        m_scriptTask->disconnect(this);
        m_scriptTask->deleteLater();
        m_scriptTask.clear();
    }
    // Nobody waits for its result any more: the script ends now, not at its time limit.
    if (m_scriptStop)
        std::exchange(m_scriptStop, nullptr)->request();
}

void SelectionMonitor::reportModelRequest(TelemetryEvent::Outcome outcome)
{
    const double seconds = m_streamStarted.msecsTo(m_services.clock->now()) / 1000.0;
    send(TelemetryEvent::modelRequest(m_streamProvider, outcome, seconds));
}

void SelectionMonitor::runAI(const ActionDefinition& action, const ContextSnapshot& snapshot)
{
    if (!m_ai)
        return dismiss();
    // The first template with the identifier: a custom one that reuses a built-in's is never run.
    std::optional<AIActionTemplate> found;
    for (const AIActionTemplate& t : templates()) {
        if (t.id == action.id) {
            found = t;
            break;
        }
    }
    if (!found)
        return dismiss();
    const AIActionTemplate actionTemplate = *found;
    if (const auto* script = std::get_if<ScriptAction>(&actionTemplate.kind.value))
        return runScript(*script, actionTemplate, snapshot);
    // Only a prompt goes to the model: an image operation has nothing to work on in a text.
    if (!actionTemplate.kind.needsModel() || !snapshot.allowsAIAction())
        return dismiss();

    AIRun* run = beginRun(actionTemplate);
    showAIPanel(run, actionTemplate, snapshot);
    cancelAITask();
    m_streamStarted = m_services.clock->now();
    m_streamProvider = toRaw(m_ai->providerID());

    auto started = m_ai->service().run(actionTemplate, snapshot.selectedText, std::nullopt, std::nullopt,
                                       outputLanguageDescription());
    if (!started) {
        run->finish(started.error().messageKey(), started.error().isRetryable());
        reportModelRequest(TelemetryEvent::Outcome::failed);
        return;
    }
    m_stream = std::move(*started);
    QPointer<AIRun> target(run);
    connect(m_stream.get(), &AIStream::delta, this, [target](const QString& text) {
        // Shown raw while it streams; cleaned once, when the whole reply is in.
        if (target)
            target->appendOutput(text);
    });
    connect(m_stream.get(), &AIStream::finished, this, [this, target] {
        if (target) {
            const QString reply = ModelReply::cleaned(target->output());
            // A reply without text is no answer (a bare end marker, a page that is not a stream):
            // shown as unreadable, with Retry, and never offered for writing back.
            if (reply.trimmed().isEmpty()) {
                target->setOutput(QString());
                target->finish(AIError::invalidResponse().messageKey(), true);
                reportModelRequest(TelemetryEvent::Outcome::failed);
                return;
            }
            target->setOutput(reply);
            target->setStreaming(false);
        }
        reportModelRequest(TelemetryEvent::Outcome::succeeded);
    });
    connect(m_stream.get(), &AIStream::failed, this, [this, target](const AIError& error) {
        if (target)
            target->finish(error.messageKey(), error.isRetryable());
        reportModelRequest(TelemetryEvent::Outcome::failed);
    });
}

void SelectionMonitor::runScript(const ScriptAction& script, const AIActionTemplate& actionTemplate,
                                 const ContextSnapshot& snapshot)
{
    if (!ScriptApprovals(m_services.userDefaults).isApproved(script)) {
        const auto element = m_currentElement;
        const auto front = m_services.workspace->frontmostApplication();
        const qint64 owner = front ? front->processID : 0;
        dismiss();
        if (!m_scriptApproval)
            return;
        QPointer<SelectionMonitor> self(this);
        m_scriptApproval(title(actionTemplate), script, [self, script, actionTemplate, snapshot, element, owner] {
            if (!self)
                return;
            ScriptApprovals(self->m_services.userDefaults).approve(script);
            // Allowing finishes the press: the same selection, its result shown, and the focus
            // going back to its application is no switch away from it.
            self->m_currentSnapshot = snapshot;
            self->m_currentElement = element;
            if (owner != 0)
                self->m_focusReturnsTo = owner;
            self->runScript(script, actionTemplate, snapshot);
        });
        return;
    }

    AIRun* run = beginRun(actionTemplate);
    showAIPanel(run, actionTemplate, snapshot);
    cancelAITask();
    const ScriptRunner runner(ScriptApprovals(m_services.userDefaults),
                              JavaScriptRunner(QCoreApplication::applicationFilePath()));
    auto* watcher = new QFutureWatcher<ScriptRunner::Outcome>(this);
    m_scriptTask = watcher;
    m_scriptStop = std::make_shared<ChildProcess::Stop>();
    QPointer<AIRun> target(run);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, target] {
        const ScriptRunner::Outcome outcome = watcher->result();
        watcher->deleteLater();
        m_scriptTask.clear();
        m_scriptStop.reset();
        if (!target)
            return;
        if (outcome && outcome->succeeded()) {
            // A script's output is its own: no reply cleaning.
            target->setOutput(outcome->output);
            target->setStreaming(false);
            return;
        }
        // Kept on the run for diagnosis; a failed card shows only the failure.
        if (outcome)
            target->setOutput(outcome->errorOutput);
        else if (const auto* missing = std::get_if<ScriptRunner::MissingTools>(&outcome.error()))
            target->setOutput(missing->names.join(QStringLiteral(", ")));
        target->finish(scriptFailureKey(outcome), false);
    });
    watcher->setFuture(runner.run(script, snapshot.selectedText, {}, std::nullopt, m_scriptStop));
}

void SelectionMonitor::showAIPanel(AIRun* run, const AIActionTemplate& actionTemplate, const ContextSnapshot& snapshot)
{
    const bool canReplace = snapshot.isEditable && actionTemplate.outputBehavior == OutputBehavior::replaceable;
    QPointer<SelectionMonitor> self(this);
    QPointer<AIRun> shown(run);
    const auto output = [shown] { return shown ? shown->output() : QString(); };
    AIResultView::Actions actions{
        .onReplace = [self, output, snapshot] {
            if (self)
                self->writeBack(output(), TextWriteBack::Mode::replace, snapshot);
        },
        .onAppend = [self, output, snapshot] {
            if (self)
                self->writeBack(output(), TextWriteBack::Mode::append, snapshot);
        },
        .onCopy = [self, output] {
            if (!self)
                return;
            PasteboardGuard::setString(*self->m_services.pasteboards->general(), output());
            self->dismiss();
        },
        .onRetry = [self, actionTemplate, snapshot] {
            if (self)
                self->runAI(actionTemplate.actionDefinition(), snapshot);
        },
        .onClose = [self] {
            if (self)
                self->dismiss();
        },
    };
    auto* view = new AIResultView(run, canReplace, std::move(actions), [](const QString& key) {
        return key.startsWith(QLatin1String("script.")) ? SelectionStrings::string(key) : AIProvidersStrings::string(key);
    });
    m_panel->show(view, snapshot.anchorRect.value_or(QRectF()), m_lastMouseUp, ToolbarPanel::Shape::card);
}

void SelectionMonitor::writeBack(const QString& text, TextWriteBack::Mode mode, const ContextSnapshot& snapshot)
{
    TextWriteBack writer(m_services);
    writer.pasteWait = m_timings.pasteWait;
    QPointer<SelectionMonitor> self(this);
    auto board = m_services.pasteboards->general();
    // Answered even when the monitor is gone, so that the text is never lost.
    writer.write(text, mode, m_currentElement, snapshot, QCoreApplication::instance(),
                 [self, board, text](TextWriteBack::Outcome outcome) {
                     if (outcome == TextWriteBack::Outcome::pasteboardNotRestored) {
                         // The user's own clipboard is lost already: leave the result there to paste.
                         PasteboardGuard::setString(*board, text);
                         if (self)
                             self->presentResult(SelectionStrings::string(QStringLiteral("result.writeBackFailed")));
                         return;
                     }
                     if (self)
                         self->dismiss();
                 });
}
