#include "Launch/SingleInstance.h"

#include "SecurityCore/PrivacyLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// On plain sockets rather than Qt's local sockets: the launch runs this before the tray icon
// shows, and Qt's network library would be loaded for it alone.
struct SingleInstance::Connection {
    QSocketNotifier* notifier = nullptr;
    QByteArray received;
};

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent)
    , m_name(std::move(serverName))
{
}

SingleInstance::~SingleInstance()
{
    for (auto& [fd, connection] : m_connections) {
        delete connection->notifier;
        ::close(fd);
    }
    if (m_listener >= 0) {
        delete m_accepting;
        ::close(m_listener);
        // Nobody answers on it any more.
        ::unlink(QFile::encodeName(m_name).constData());
    }
}

QString SingleInstance::defaultServerName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/ambrel-%1.sock").arg(::getuid());
}

QList<QUrl> SingleInstance::urlsFromArguments(const QStringList& arguments, const QString& workingDirectory)
{
    QList<QUrl> urls;
    for (const QString& arg : arguments.mid(1)) {
        if (arg.isEmpty() || arg.startsWith(u'-'))
            continue;
        // Our own URLs and file URLs; anything else is a path, even with a colon in it.
        const QUrl url(arg, QUrl::StrictMode);
        if (url.isValid() && (url.scheme() == u"corvish" || url.scheme() == u"file")) {
            urls << url;
            continue;
        }
        urls << QUrl::fromLocalFile(QDir(workingDirectory).absoluteFilePath(arg));
    }
    return urls;
}

namespace {

// A name without a folder lies in the temporary folder, as for Qt's local sockets.
std::optional<sockaddr_un> address(const QString& name)
{
    const QByteArray path =
        QFile::encodeName(name.startsWith(u'/') ? name : QDir::tempPath() + u'/' + name);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    if (path.isEmpty() || path.size() >= qsizetype(sizeof a.sun_path) || path.contains('\0'))
        return std::nullopt;
    std::memcpy(a.sun_path, path.constData(), path.size());
    return a;
}

void closeQuietly(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

// A connected socket, or -1 when nobody answers within the time.
int connectTo(const QString& name, QDeadlineTimer deadline)
{
    const auto a = address(name);
    if (!a)
        return -1;
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return -1;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&*a), sizeof *a) == 0)
            return fd;
        const int error = errno;
        ::close(fd);
        // A full backlog: the instance is busy, not gone.
        if ((error != EAGAIN && error != EINTR) || deadline.hasExpired())
            return -1;
        QThread::msleep(5);
    }
}

bool writeAll(int fd, QByteArray data, QDeadlineTimer deadline)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        pollfd p{.fd = fd, .events = POLLOUT, .revents = 0};
        const qint64 left = deadline.remainingTime();
        if (left == 0 || ::poll(&p, 1, int(qMin<qint64>(left < 0 ? 1000 : left, 1000))) < 0)
            return false;
    }
    return true;
}

// Whether a live instance answers on the name.
bool answers(const QString& name)
{
    const int fd = connectTo(name, QDeadlineTimer(500));
    closeQuietly(fd);
    return fd >= 0;
}

} // namespace

bool SingleInstance::forwardToRunningInstance(const QList<QUrl>& urls, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const int fd = connectTo(m_name, deadline);
    if (fd < 0)
        return false;
    QJsonArray list;
    for (const QUrl& url : urls)
        list.append(url.toString(QUrl::FullyEncoded));
    const bool sent = writeAll(fd, QJsonDocument(list).toJson(QJsonDocument::Compact) + '\n', deadline);
    ::close(fd);
    return sent;
}

bool SingleInstance::listen()
{
    // The socket lives in the user's private runtime folder; a listen that replaced a live
    // instance's socket would leave two instances running, so ask first.
    if (m_listener >= 0)
        return true;
    if (answers(m_name))
        return false;
    const auto a = address(m_name);
    if (!a)
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    auto bound = [&] { return ::bind(fd, reinterpret_cast<const sockaddr*>(&*a), sizeof *a) == 0; };
    if (!bound()) {
        if (errno != EADDRINUSE || answers(m_name)) {
            ::close(fd);
            return false;
        }
        // A socket left behind by a crashed instance: nobody answers on it, so take it over.
        ::unlink(a->sun_path);
        if (!bound()) {
            ::close(fd);
            return false;
        }
    }
    if (::listen(fd, 16) != 0) {
        ::close(fd);
        ::unlink(a->sun_path);
        return false;
    }
    m_listener = fd;
    m_name = QFile::decodeName(a->sun_path);
    m_accepting = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_accepting, &QSocketNotifier::activated, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto connection = std::make_unique<Connection>();
        connection->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(connection->notifier, &QSocketNotifier::activated, this, [this, fd] { read(fd); });
        m_connections[fd] = std::move(connection);
    }
}

void SingleInstance::read(int fd)
{
    const auto found = m_connections.find(fd);
    if (found == m_connections.end())
        return;
    QByteArray& received = found->second->received;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        if (n <= 0) {
            // Gone before a whole message: nothing to act on.
            hangUp(fd);
            return;
        }
        received.append(chunk, n);
        const qsizetype lineEnd = received.indexOf('\n');
        if (lineEnd > maximumMessageSize || (lineEnd < 0 && received.size() > maximumMessageSize)) {
            PrivacyLog::logger(QStringLiteral("SingleInstance")).warning(
                QStringLiteral("Dropped a launch message larger than %1 bytes").arg(maximumMessageSize));
            hangUp(fd);
            return;
        }
        if (lineEnd < 0)
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(received.left(lineEnd));
        hangUp(fd);
        if (!doc.isArray())
            return;
        QList<QUrl> urls;
        for (const auto& v : doc.array()) {
            const QUrl url(v.toString(), QUrl::StrictMode);
            if (url.isValid())
                urls << url;
        }
        receive(urls);
        return;
    }
}

void SingleInstance::hangUp(int fd)
{
    const auto found = m_connections.find(fd);
    if (found == m_connections.end())
        return;
    found->second->notifier->setEnabled(false);
    found->second->notifier->deleteLater();
    m_connections.erase(found);
    ::close(fd);
}

void SingleInstance::receive(const QList<QUrl>& urls)
{
    if (urls.isEmpty()) {
        // A launch without files: the user is looking for the running Ambrel.
        if (m_delivering)
            emit showRequested();
        else
            m_showPending = true;
        return;
    }
    if (!m_delivering) {
        m_pending += urls;
        return;
    }
    emit urlsReceived(urls);
}

void SingleInstance::startDelivering()
{
    m_delivering = true;
    const QList<QUrl> pending = std::exchange(m_pending, {});
    if (!pending.isEmpty())
        emit urlsReceived(pending);
    if (std::exchange(m_showPending, false))
        emit showRequested();
}
