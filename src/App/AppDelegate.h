#pragma once

#include "AI/ScriptApprovalWindow.h"
#include "App/AlertPresenter.h"
#include "App/FinderActionHandler.h"

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
    void startListening();

    // Each URL in order: a file is read as a plug-in source; any other URL is offered to the
    // sign-in that may be waiting for it.
    void open(const QList<QUrl>& urls);

    // Where plug-in sources go; the import window takes them once this build has one.
    std::function<void(const QString& source)> pluginSourceHandler;

    FinderActionHandler* finderActionHandler() const { return m_handler.get(); }
    // The one window that asks before a script first runs; lent to the selection toolbar once
    // launching has finished.
    ScriptApprovalWindow& scriptApprovalWindow() { return *m_scriptApproval; }

    // A plug-in source is small; nothing larger is read.
    static constexpr qint64 maximumSourceSize = 1024 * 1024;
    // The whole file as UTF-8 text; none when it cannot be read, is not valid UTF-8, or is not a
    // regular file of at most `maximumSourceSize` bytes (a pipe would block, a device not end).
    static std::optional<QString> readUtf8File(const QUrl& url);

private:
    AppModel& m_model;
    std::shared_ptr<AlertPresenter> m_alerts;
    std::unique_ptr<FinderActionHandler> m_handler;
    std::unique_ptr<ScriptApprovalWindow> m_scriptApproval;
    PrivacyLog::Logger m_logger;
};
