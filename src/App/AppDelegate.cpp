#include "App/AppDelegate.h"

#include "AI/PluginProblem.h"
#include "App/AppModel.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

AppDelegate::AppDelegate(AppModel& model, std::shared_ptr<AlertPresenter> alerts, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_alerts(std::move(alerts))
    , m_scriptApproval(std::make_unique<ScriptApprovalWindow>(model.services().pasteboards))
    , m_smartRenameWindow(std::make_unique<SmartRenameWindow>())
    , m_aiPanel(std::make_unique<FinderAIPanel>(model.services()))
    , m_logger(PrivacyLog::logger(QStringLiteral("AppDelegate")))
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    startListening();
    QPointer<ScriptApprovalWindow> approval(m_scriptApproval.get());
    m_model.selectionMonitor().setScriptApproval(
        [approval](const QString& title, const ScriptAction& script, std::function<void()> onApprove) {
            if (approval)
                approval->present(title, script, std::move(onApprove));
        });
}

void AppDelegate::applicationWillTerminate()
{
    m_model.telemetry().flush();
    // No event loop runs after this one: without the wait the batch would never leave.
    m_model.telemetry().waitForRequests(std::chrono::seconds(2));
}

void AppDelegate::startListening()
{
    if (!m_handler) {
        FinderActionHandler::Hooks hooks{
            .smartRename = [this](const QList<QUrl>& files) { m_smartRenameWindow->present(files, m_model.ai()); },
            .customAction = [this](const QString& id) -> std::optional<AIActionTemplate> {
                for (const AIActionTemplate& action : m_model.ai().customActions())
                    if (action.id == id)
                        return action;
                return std::nullopt;
            },
            .approveScript =
                [approval = QPointer<ScriptApprovalWindow>(m_scriptApproval.get())](
                    const QString& title, const ScriptAction& script, std::function<void()> onApprove) {
                    if (approval)
                        approval->present(title, script, std::move(onApprove));
                },
            .runPrompt =
                [this](const AIActionTemplate& action, const ContextSnapshot& snapshot) {
                    m_aiPanel->run(&m_model.ai(), action, snapshot, m_model.selectionMonitor().outputLanguageDescription());
                },
        };
        m_handler = std::make_unique<FinderActionHandler>(m_model.services(), m_alerts, std::move(hooks));
        m_handler->setTelemetry(&m_model.telemetry());
    }
    m_handler->startListening();
}

void AppDelegate::open(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            // The key reaches the model after the flow has finished with the callback.
            QPointer<AppModel> model(&m_model);
            if (!m_model.ai().signIn().handle(url, [model](const QString& key) {
                    QTimer::singleShot(0, model, [model, key] { model->ai().adoptSignedInKey(key); });
                }))
                m_logger.info(QStringLiteral("Ignored an opened address: %1").arg(PrivacyLog::redact(url)));
            continue;
        }
        // A file that cannot be read is passed over; one that is no text says so in the window.
        const auto bytes = readSourceFile(url);
        if (!bytes)
            continue;
        const auto source = PluginPasteView::sourceOf(*bytes);
        PluginPasteView::Options options;
        if (!source)
            options.initialProblem = source.error();
        options.onAdded = [model = QPointer<AppModel>(&m_model)] {
            if (model)
                model->telemetry().send(TelemetryEvent::pluginAdded(TelemetryEvent::PluginSource::importedFile));
        };
        m_model.pluginImportWindow().present(source.value_or(QString()), m_model.ai(), std::move(options));
    }
}

std::optional<QByteArray> AppDelegate::readSourceFile(const QUrl& url)
{
    // Opened without waiting for a writer, then judged by what was opened, not by the name.
    const int fd = ::open(QFile::encodeName(url.toLocalFile()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(maximumSourceSize + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}
