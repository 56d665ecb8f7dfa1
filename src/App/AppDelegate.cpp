#include "App/AppDelegate.h"

#include "App/AppModel.h"

#include <QFile>
#include <QPointer>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

AppDelegate::AppDelegate(AppModel& model, std::shared_ptr<AlertPresenter> alerts, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_alerts(std::move(alerts))
    , m_scriptApproval(std::make_unique<ScriptApprovalWindow>(model.services().pasteboards))
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

void AppDelegate::startListening()
{
    if (!m_handler)
        m_handler = std::make_unique<FinderActionHandler>(m_model.services(), m_alerts);
    m_handler->startListening();
}

void AppDelegate::open(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            // Only a pending sign-in waits for a URL of ours; there is none in this build.
            m_logger.info(QStringLiteral("Ignored an opened address: %1").arg(PrivacyLog::redact(url)));
            continue;
        }
        const auto source = readUtf8File(url);
        if (!source)
            continue;
        if (pluginSourceHandler)
            pluginSourceHandler(*source);
        else
            m_logger.info(QStringLiteral("Plug-in import is not available yet: %1").arg(PrivacyLog::redact(url)));
    }
}

std::optional<QString> AppDelegate::readUtf8File(const QUrl& url)
{
    // Opened without waiting for a writer, then judged by what was opened, not by the name.
    const int fd = ::open(QFile::encodeName(url.toLocalFile()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maximumSourceSize
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(maximumSourceSize + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maximumSourceSize)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
