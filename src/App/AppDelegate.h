#pragma once

#include "AI/ScriptApprovalWindow.h"
#include "App/AlertPresenter.h"
#include "App/FinderAIPanel.h"
#include "App/FinderActionHandler.h"
#include "Rename/SmartRenameWindow.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class AppModel;

// Takes the application's events: the end of launching, quitting, and URLs or files handed to
// the application (a second launch forwards its arguments here).
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(AppModel& model, std::shared_ptr<AlertPresenter> alerts, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Quitting: the pending usage reports are sent (waiting for them at most a moment);
    // nothing else is torn down.
    void applicationWillTerminate();
    void startListening();

    // Each URL in order: a file is read as a plug-in source and shown in the import window; any
    // other URL is offered to the sign-in that may be waiting for it.
    void open(const QList<QUrl>& urls);

    FinderActionHandler* finderActionHandler() const { return m_handler.get(); }
    // The one window that asks before a script first runs; lent to the selection toolbar once
    // launching has finished.
    ScriptApprovalWindow& scriptApprovalWindow() { return *m_scriptApproval; }
    SmartRenameWindow& smartRenameWindow() { return *m_smartRenameWindow; }
    // Where a prompt action chosen in the file manager answers.
    FinderAIPanel& finderAIPanel() { return *m_aiPanel; }

    // A plug-in source is small; nothing larger is read.
    static constexpr qint64 maximumSourceSize = 1024 * 1024;
    // At most `maximumSourceSize` + 1 bytes of the file; none when it cannot be opened or is not a
    // regular file (a pipe would block, a device not end).
    static std::optional<QByteArray> readSourceFile(const QUrl& url);

private:
    AppModel& m_model;
    std::shared_ptr<AlertPresenter> m_alerts;
    std::unique_ptr<FinderActionHandler> m_handler;
    std::unique_ptr<ScriptApprovalWindow> m_scriptApproval;
    std::unique_ptr<SmartRenameWindow> m_smartRenameWindow;
    std::unique_ptr<FinderAIPanel> m_aiPanel;
    PrivacyLog::Logger m_logger;
};
