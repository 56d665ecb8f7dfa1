#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "ActionCore/ActionDefinition.h"
#include "ActionCore/ActionPreferences.h"
#include "ContextCore/ContextSnapshot.h"
#include "ContextCore/ScriptAction.h"
#include "ContextCore/SearchEngine.h"
#include "ContextCore/TranslationService.h"
#include "LocalActions/Runners/ChildProcess.h"
#include "Platform/Services.h"
#include "SecurityCore/PrivacyLog.h"
#include "Selection/AIRun.h"
#include "Selection/DraggedWindow.h"
#include "Selection/SelectionCapture.h"
#include "Selection/TextActionCatalog.h"
#include "Selection/TextWriteBack.h"
#include "Selection/ToolbarPanel.h"
#include "Telemetry/TelemetryEvent.h"

#include <QObject>
#include <QDateTime>
#include <QPointF>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AIStream;
class AIViewModel;
class TelemetryClient;

// The controller of the selection toolbar. It watches the mouse and keyboard in every
// application, decides after each left mouse-up whether text was just selected, captures it
// after a short settle delay, shows the arranged actions beside it, runs a pressed one and shows
// its result. Any later press, key, scroll or switch of application dismisses what it shows.
// Main thread only.
class SelectionMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled NOTIFY isEnabledChanged)
    Q_PROPERTY(int presentationCount READ presentationCount NOTIFY presentationCountChanged)
public:
    // The fixed waits; tests shorten the long ones.
    struct Timings {
        std::chrono::milliseconds settle{60};
        std::chrono::milliseconds copyWait{SelectionCapture::defaultCopyWait};
        std::chrono::milliseconds pasteWait{120};
        std::chrono::milliseconds resultDuration{4000};
        std::chrono::milliseconds hintDelay{ToolbarHintPanel::defaultDelay};
    };
    // Shows the window that asks the user to allow a script; calls `onApprove` only when allowed.
    using ScriptApprovalPresenter =
        std::function<void(const QString& title, const ScriptAction& script, std::function<void()> onApprove)>;

    static constexpr double staleAfterSeconds = ContextSnapshot::defaultMaxAge;
    static constexpr double minimumTravel = 4;
    static constexpr double windowMoveTolerance = 1;

    // Password managers and secure-input applications.
    static const QSet<QString>& defaultBlocklist();
    // The identifiers that usage reports may name; every other one is reported as "custom".
    static const QSet<QString>& shippedActionIDs();

    explicit SelectionMonitor(Platform::Services services, Timings timings, QObject* parent = nullptr);
    explicit SelectionMonitor(Platform::Services services, QObject* parent = nullptr)
        : SelectionMonitor(std::move(services), Timings{}, parent) {}
    ~SelectionMonitor() override;

    bool isEnabled() const { return m_isEnabled; }
    int presentationCount() const { return m_presentationCount; }

    // Settings, read when a toolbar is presented or an action runs.
    const QSet<QString>& blocklist() const { return m_blocklist; }
    void setBlocklist(const QSet<QString>& blocklist) { m_blocklist = blocklist; }
    const SearchEngine& searchEngine() const { return m_searchEngine; }
    void setSearchEngine(const SearchEngine& engine) { m_searchEngine = engine; }
    const TranslationService& translationService() const { return m_translationService; }
    void setTranslationService(const TranslationService& service) { m_translationService = service; }
    const TranslationTarget& translationTarget() const { return m_translationTarget; }
    void setTranslationTarget(const TranslationTarget& target) { m_translationTarget = target; }
    const QString& targetCurrency() const { return m_targetCurrency; }
    void setTargetCurrency(const QString& code) { m_targetCurrency = code; }
    const ActionPreferences& actionPreferences() const { return m_actionPreferences; }
    void setActionPreferences(const ActionPreferences& preferences) { m_actionPreferences = preferences; }
    // "selection", "interface" or a language code.
    const QString& outputLanguage() const { return m_outputLanguage; }
    void setOutputLanguage(const QString& language) { m_outputLanguage = language; }
    void setScriptApproval(ScriptApprovalPresenter presenter) { m_scriptApproval = std::move(presenter); }
    bool hasScriptApproval() const { return bool(m_scriptApproval); }
    // The source of the AI actions (built-in and the user's) and of the service that runs them;
    // without it only the built-in text actions are offered.
    void setAI(AIViewModel* ai);
    AIViewModel* ai() const;
    // Where the toolbar's usage events go; none are sent without it.
    void setTelemetry(TelemetryClient* telemetry);
    // The words that fill the "{{language}}" placeholder of a prompt.
    QString outputLanguageDescription() const;

    // Installs the event monitors unless running; without Accessibility trust it stays stopped
    // and says so in the log. Never asks for the permission.
    void start();
    // Removes every monitor, cancels a pending capture and dismisses.
    void stop();
    // Hides everything shown and forgets the current selection.
    void dismiss();

    // Shows the toolbar for an accepted selection.
    void present(const ContextSnapshot& snapshot);
    // The toolbar's action callback.
    void run(const ActionDefinition& action);
    QString displayTitle(const ActionDefinition& action) const;

    ToolbarPanel& panel() { return *m_panel; }
    const std::optional<ContextSnapshot>& currentSnapshot() const { return m_currentSnapshot; }
    const std::optional<Platform::AccessibilityElement>& currentElement() const { return m_currentElement; }
    bool isCapturePending() const { return m_captureTimer.isActive(); }
    // How long until the pending capture starts; nothing when none is pending.
    std::optional<std::chrono::milliseconds> captureDueIn() const
    {
        return m_captureTimer.isActive() ? std::optional(m_captureTimer.remainingTimeAsDuration()) : std::nullopt;
    }
    bool isResultPending() const { return m_resultTimer.isActive(); }
    // The AI or script run the panel shows, and whether its task is still live.
    AIRun* currentRun() const { return m_currentRun.get(); }
    bool isAITaskLive() const;
    const std::optional<QPointF>& lastMouseUpLocation() const { return m_lastMouseUp; }

signals:
    void isEnabledChanged();
    void presentationCountChanged();

private:
    void installMonitors();
    void addMonitor(Platform::EventMask mask, std::function<void(const Platform::InputEvent&)> handler);
    bool belongsToPanels(const QWindow* window) const;
    void handlePress(const Platform::InputEvent& event);
    void handleDrag();
    void handleMouseUp(const Platform::InputEvent& event);
    void handleActivation(const Platform::ApplicationInfo& app);
    void settled();
    // `selectedText`: an element's selected text, just read (only its beginning unless complete).
    void captureAndPresent(std::optional<std::pair<Platform::AccessibilityElement, QString>> selectedText = {},
                           bool selectedTextComplete = true);
    // Reads the rest of a selection the capture read only the beginning of, then runs the action.
    void completeThenRun(const ActionDefinition& action);
    // The action on the selection shown, its text whole and checked.
    void perform(const ActionDefinition& action);
    void accept(std::optional<SelectionCapture::Result> result);
    void presentResult(const QString& text);
    void runAI(const ActionDefinition& action, const ContextSnapshot& snapshot);
    void runScript(const ScriptAction& script, const AIActionTemplate& actionTemplate, const ContextSnapshot& snapshot);
    void showAIPanel(AIRun* run, const AIActionTemplate& actionTemplate, const ContextSnapshot& snapshot);
    void writeBack(const QString& text, TextWriteBack::Mode mode, const ContextSnapshot& snapshot);
    AIRun* beginRun(const AIActionTemplate& actionTemplate);
    void cancelAITask();
    void reportModelRequest(TelemetryEvent::Outcome outcome);
    void send(const TelemetryEvent& event);
    // The built-in AI templates, then the user's; none without the AI model.
    QList<AIActionTemplate> templates() const;
    static QString title(const AIActionTemplate& actionTemplate);
    void reject();
    QRectF anchor() const;
    void setEnabled(bool enabled);

    Platform::Services m_services;
    Timings m_timings;
    PrivacyLog::Logger m_logger;
    SelectionCapture m_capture;
    std::unique_ptr<ToolbarPanel> m_panel;

    bool m_isEnabled = false;
    int m_presentationCount = 0;
    QSet<QString> m_blocklist;
    SearchEngine m_searchEngine;
    TranslationService m_translationService;
    TranslationTarget m_translationTarget;
    QString m_targetCurrency;
    ActionPreferences m_actionPreferences;
    QString m_outputLanguage = QStringLiteral("selection");
    ScriptApprovalPresenter m_scriptApproval;
    QPointer<AIViewModel> m_ai;
    QPointer<TelemetryClient> m_telemetry;

    QList<Platform::EventMonitors::Token> m_monitors;
    QMetaObject::Connection m_activation;
    QTimer m_captureTimer;
    QTimer m_resultTimer;
    std::optional<QPointF> m_captureDown; // the press point of the pending capture
    std::optional<Platform::AccessibilityElement> m_capturePressed; // the element found under it
    // The last left press, kept past its mouse-up: the window it landed in, and the selection
    // buffer's change count when the click sequence began.
    std::optional<QPointF> m_gesturePress;
    std::optional<qint64> m_selectionBufferAtPress;
    std::optional<ContextSnapshot> m_currentSnapshot;
    std::optional<Platform::AccessibilityElement> m_currentElement;
    bool m_currentTextComplete = true; // the current snapshot's text is all of the selection
    bool m_completing = false;         // the rest of it is being read for an action
    quint64 m_selectionGeneration = 0; // counts dismissals: a late read belongs to an older one
    std::optional<QPointF> m_lastMouseUp;
    std::optional<QPointF> m_mouseDown;
    DraggedWindow m_draggedWindow;
    bool m_hasNotedDrag = false;

    // The AI or script run shown, and its task: a model stream or a script whose result is
    // awaited. A new run or a dismissal cancels the task.
    std::unique_ptr<AIRun> m_currentRun;
    std::unique_ptr<AIStream> m_stream;
    QString m_streamProvider;
    QDateTime m_streamStarted;
    QPointer<QObject> m_scriptTask;
    std::shared_ptr<ChildProcess::Stop> m_scriptStop; // ends the script once its result is not awaited
    // After a script was allowed: the application the window manager gives the focus back to when
    // the approval window closes. That activation belongs to the press; it is no switch away.
    std::optional<qint64> m_focusReturnsTo;
};
