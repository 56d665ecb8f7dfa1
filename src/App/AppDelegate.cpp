#include "App/AppDelegate.h"

#include "AI/PluginProblem.h"
#include "App/AppModel.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QStringDecoder>

AppDelegate::AppDelegate(AppModel& model, std::shared_ptr<AlertPresenter> alerts, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_alerts(std::move(alerts))
    , m_smartRenameWindow(std::make_unique<SmartRenameWindow>())
    , m_logger(PrivacyLog::logger(QStringLiteral("AppDelegate")))
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    startListening();
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
        };
        m_handler = std::make_unique<FinderActionHandler>(m_model.services(), m_alerts, std::move(hooks));
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
        QFile file(url.toLocalFile());
        if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.read(PluginProblem::maximumSourceBytes + 1);
        if (file.error() != QFileDevice::NoError)
            continue;
        const auto source = PluginPasteView::sourceOf(bytes);
        PluginPasteView::Options options;
        if (!source)
            options.initialProblem = source.error();
        m_model.pluginImportWindow().present(source.value_or(QString()), m_model.ai(), std::move(options));
    }
}
