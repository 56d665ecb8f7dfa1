#include "SecurityCore/PrivacyLog.h"

#include "SecurityCore/PathNames.h"
#include "SecurityCore/TextMetrics.h"

#include <map>
#include <QMutexLocker>

#include <memory>

namespace PrivacyLog {
namespace {

QMutex registryMutex;

// QLoggingCategory keeps a pointer to its name, so the names live as long as the categories.
struct Registered {
    QByteArray name;
    std::unique_ptr<QLoggingCategory> category;
};

std::map<QString, Registered>& registry()
{
    static std::map<QString, Registered> r;
    return r;
}

Capture* activeCapture = nullptr;
QMutex captureMutex;

const QLoggingCategory& fallbackCategory()
{
    static QLoggingCategory c("com.corvish.app");
    return c;
}

QString prefix()
{
    return QString::fromLatin1(subsystem) + u'.';
}

} // namespace

Logger::Logger(const QLoggingCategory* category)
    : m_category(category ? category : &fallbackCategory())
{
}

QString Logger::categoryName() const
{
    QString name = QString::fromLatin1(m_category->categoryName());
    return name.startsWith(prefix()) ? name.mid(prefix().size()) : QString();
}

void Logger::debug(const QString& message) const
{
    qCDebug((*m_category)).noquote() << message;
}

void Logger::info(const QString& message) const
{
    qCInfo((*m_category)).noquote() << message;
}

void Logger::warning(const QString& message) const
{
    qCWarning((*m_category)).noquote() << message;
}

void Logger::error(const QString& message) const
{
    qCCritical((*m_category)).noquote() << message;
}

Logger logger(const QString& category)
{
    QMutexLocker lock(&registryMutex);
    auto& r = registry()[category];
    if (!r.category) {
        r.name = (prefix() + category).toUtf8();
        r.category = std::make_unique<QLoggingCategory>(r.name.constData());
    }
    return Logger(r.category.get());
}

QString redact(const QUrl& url)
{
    const QString path = url.path();
    // Components as the platform counts them: the root is one, then each non-empty name.
    qsizetype depth = path.startsWith(u'/') ? 1 : 0;
    for (const auto& part : path.split(u'/', Qt::SkipEmptyParts)) {
        Q_UNUSED(part);
        ++depth;
    }
    const QString ext = PathNames::extension(path);
    if (!ext.isEmpty())
        return QStringLiteral("<url .%1 depth=%2>").arg(ext).arg(depth);
    return QStringLiteral("<url depth=%1>").arg(depth);
}

QString redact(const QString& text)
{
    return QStringLiteral("<text %1 chars>").arg(TextMetrics::characterCount(text));
}

QString redactCredential()
{
    return QStringLiteral("<redacted>");
}

Capture::Capture()
{
    QMutexLocker lock(&captureMutex);
    m_outer = activeCapture;
    activeCapture = this;
    m_previous = qInstallMessageHandler(&Capture::handler);
}

Capture::~Capture()
{
    QMutexLocker lock(&captureMutex);
    qInstallMessageHandler(m_previous);
    activeCapture = m_outer;
}

void Capture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    Capture* capture = nullptr;
    QtMessageHandler previous = nullptr;
    {
        QMutexLocker lock(&captureMutex);
        capture = activeCapture;
        previous = capture ? capture->m_previous : nullptr;
    }
    if (capture && context.category) {
        const QString category = QString::fromLatin1(context.category);
        if (category.startsWith(prefix())) {
            QMutexLocker lock(&capture->m_mutex);
            capture->m_entries.append({category.mid(prefix().size()), type, message});
        }
    }
    if (previous)
        previous(type, context, message);
    else
        qt_message_output(type, context, message);
}

QList<Capture::Entry> Capture::entries() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries;
}

QList<Capture::Entry> Capture::entries(const QString& category) const
{
    QList<Entry> out;
    for (const auto& e : entries())
        if (e.category == category)
            out << e;
    return out;
}

bool Capture::contains(const QString& fragment) const
{
    for (const auto& e : entries())
        if (e.message.contains(fragment))
            return true;
    return false;
}

void Capture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}

} // namespace PrivacyLog
