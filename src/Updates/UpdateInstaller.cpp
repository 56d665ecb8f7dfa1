#include "Updates/UpdateInstaller.h"

#include "ContextCore/VersionOrder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSaveFile>
#include <QThread>
#include <QUuid>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString newUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

bool isRealDirectory(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The first top-level entry named "*.app" that is a folder of its own (not a link).
std::optional<QString> bundleIn(const QString& folder)
{
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                                     QDir::Name);
    for (const QString& name : names) {
        if (name.endsWith(QStringLiteral(".app")) && name.size() > 4) {
            const QString path = folder + u'/' + name;
            if (isRealDirectory(path))
                return path;
        }
    }
    return std::nullopt;
}

} // namespace

QString toRaw(UpdateInstaller::Failure failure)
{
    switch (failure) {
    case UpdateInstaller::Failure::download: return QStringLiteral("download");
    case UpdateInstaller::Failure::unreadable: return QStringLiteral("unreadable");
    case UpdateInstaller::Failure::notOurs: return QStringLiteral("notOurs");
    case UpdateInstaller::Failure::install: return QStringLiteral("install");
    }
    return QString();
}

bool UpdateInstaller::Phase::operator==(const Phase& other) const
{
    if (kind != other.kind)
        return false;
    if (kind == Kind::downloading)
        return fraction == other.fraction;
    if (kind == Kind::failed)
        return failure == other.failure;
    return true;
}

UpdateInstaller::UpdateInstaller(std::optional<Bundle> installed, QString currentVersion, QNetworkAccessManager* session,
                                 std::shared_ptr<Platform::ArchiveExtractor> extractor,
                                 std::shared_ptr<Platform::CodeSignature> signature, Options options, QObject* parent)
    : QObject(parent)
    , m_installed(std::move(installed))
    , m_currentVersion(std::move(currentVersion))
    , m_session(session)
    , m_extractor(std::move(extractor))
    , m_signature(std::move(signature))
    , m_options(std::move(options))
    , m_logger(PrivacyLog::logger(QStringLiteral("UpdateInstaller")))
{
    if (m_options.temporaryFolder.isEmpty())
        m_options.temporaryFolder = QDir::tempPath();
    if (m_options.processID == 0)
        m_options.processID = QCoreApplication::applicationPid();
    if (m_options.copyCommand.isEmpty())
        m_options.copyCommand = QStringLiteral("cp -a");
}

UpdateInstaller::~UpdateInstaller()
{
    abortTransfer();
    // An unpacking still under way finishes and removes its own files.
    for (const QPointer<QThread>& worker : std::as_const(m_workers))
        if (worker)
            worker->wait();
}

std::optional<UpdateInstaller::Bundle> UpdateInstaller::bundleContaining(const QString& executablePath)
{
    const QFileInfo executable(executablePath);
    const QString file = executable.canonicalFilePath();
    if (file.isEmpty())
        return std::nullopt;
    QDir dir = QFileInfo(file).dir();
    while (!dir.isRoot()) {
        if (dir.dirName().endsWith(QStringLiteral(".app")) &&
            QFileInfo(dir.filePath(Platform::CodeSignature::manifestPath)).isFile())
            return Bundle{dir.path(), dir.relativeFilePath(file)};
        if (!dir.cdUp())
            break;
    }
    return std::nullopt;
}

QString UpdateInstaller::shellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

void UpdateInstaller::setPhase(const Phase& phase, quint64 generation)
{
    // A late report of an earlier attempt never overwrites the current one.
    if (generation != m_generation || phase == m_phase)
        return;
    m_phase = phase;
    emit phaseChanged();
}

void UpdateInstaller::abortTransfer()
{
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_archive) {
        m_archive->close();
        m_archive->remove();
        m_archive.reset();
    }
}

void UpdateInstaller::discardStaged()
{
    if (m_staged)
        QDir(QFileInfo(*m_staged).path()).removeRecursively();
    m_staged.reset();
}

void UpdateInstaller::download(const UpdateRelease& release)
{
    if (m_phase.kind == Phase::Kind::downloading || m_phase.kind == Phase::Kind::verifying || m_swapStarted)
        return;
    if (!m_installed) {
        m_logger.info(QStringLiteral("Not installed from a bundle: updates are offered, never installed"));
        return;
    }
    if (!VersionOrder::isNewer(release.version, m_currentVersion)) {
        m_logger.error(QStringLiteral("Refusing a release that is not newer than this build"));
        return;
    }
    abortTransfer();
    const quint64 generation = ++m_generation;
    setPhase(Phase::downloading(0), generation);
    discardStaged();

    if (!UpdateReply::isAcceptableArchiveURL(release.url) || !m_session)
        return fail(Failure::download, generation);
    m_archive = std::make_unique<QFile>(m_options.temporaryFolder + u'/' + newUUID() + QStringLiteral(".zip"));
    if (!m_archive->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        m_archive.reset();
        return fail(Failure::download, generation);
    }
    m_downloadTooLarge = false;
    QNetworkRequest request(release.url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = m_session->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply != m_reply || !m_archive)
            return;
        const QByteArray data = reply->readAll();
        if (m_archive->size() + data.size() > m_options.maxDownloadBytes) {
            m_downloadTooLarge = true;
            reply->abort();
            return;
        }
        if (m_archive->write(data) != data.size())
            reply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply, generation](qint64 received, qint64 total) {
        // Without a content length the transfer reports its size only at the end: no fraction.
        if (!reply->header(QNetworkRequest::ContentLengthHeader).isValid())
            return;
        if (total > 0 && m_phase.kind == Phase::Kind::downloading)
            setPhase(Phase::downloading(double(received) / double(total)), generation);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation] { received(generation); Q_UNUSED(reply); });
}

void UpdateInstaller::received(quint64 generation)
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    std::unique_ptr<QFile> archive = std::move(m_archive);
    if (generation != m_generation || !archive) {
        if (archive)
            archive->remove();
        return;
    }
    bool ok = reply->error() == QNetworkReply::NoError &&
              reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 && !m_downloadTooLarge;
    if (ok) {
        const QByteArray rest = reply->readAll();
        ok = archive->write(rest) == rest.size() && archive->flush();
    }
    archive->close();
    if (!ok) {
        archive->remove();
        return fail(Failure::download, generation);
    }
    setPhase(Phase::verifying(), generation);
    verify(generation, archive->fileName());
}

void UpdateInstaller::verify(quint64 generation, const QString& archive)
{
    const QString unpackFolder = m_options.temporaryFolder + QStringLiteral("/ambrel-update-") + newUUID();
    if (!QDir().mkpath(unpackFolder)) {
        QFile::remove(archive);
        return fail(Failure::download, generation);
    }
    QPointer<UpdateInstaller> self(this);
    auto extractor = m_extractor;
    auto signature = m_signature;
    const QString installed = m_installed->path;
    const auto limits = m_options.limits;
    QThread* worker = QThread::create([=] {
        Verdict verdict = Verdict::unreadable;
        QString bundle;
        if (extractor->extract(archive, unpackFolder, limits)) {
            if (const auto found = bundleIn(unpackFolder)) {
                bundle = *found;
                verdict = signature->satisfiesRequirement(installed, bundle) ? Verdict::accepted : Verdict::notOurs;
            }
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [=] {
                if (self)
                    self->verified(generation, archive, unpackFolder, verdict, bundle);
                else {
                    QFile::remove(archive);
                    QDir(unpackFolder).removeRecursively();
                }
            },
            Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    m_workers.removeAll(nullptr);
    m_workers << worker;
    worker->start();
}

void UpdateInstaller::verified(quint64 generation, const QString& archive, const QString& unpackFolder, Verdict verdict,
                               const QString& bundle)
{
    QFile::remove(archive);
    if (generation != m_generation) {
        QDir(unpackFolder).removeRecursively();
        return;
    }
    switch (verdict) {
    case Verdict::unreadable:
        QDir(unpackFolder).removeRecursively();
        return fail(Failure::unreadable, generation);
    case Verdict::notOurs:
        QDir(unpackFolder).removeRecursively();
        m_logger.error(QStringLiteral("Refusing an update that is not signed like this build"));
        return fail(Failure::notOurs, generation);
    case Verdict::accepted:
        m_staged = bundle;
        setPhase(Phase::readyToRelaunch(), generation);
        return;
    }
}

void UpdateInstaller::cancel()
{
    ++m_generation;
    abortTransfer();
    discardStaged();
    const bool changed = !(m_phase == Phase::idle());
    m_phase = Phase::idle();
    if (changed)
        emit phaseChanged();
}

QString UpdateInstaller::swapScript(const QString& staged) const
{
    const QString installed = m_installed->path;
    const QString id = newUUID();
    const QString fresh = installed + QStringLiteral(".new-") + id;
    const QString previous = installed + QStringLiteral(".old-") + id;
    const QString tries = QString::number(qMax(1, m_options.waitSeconds) * 5);
    const QStringList lines{
        QStringLiteral("#!/bin/sh"),
        QStringLiteral("# Waits for Ambrel to exit, swaps the bundle, and starts it again."),
        QStringLiteral("installed=") + shellQuoted(installed),
        QStringLiteral("staged=") + shellQuoted(staged),
        QStringLiteral("staging=") + shellQuoted(QFileInfo(staged).path()),
        QStringLiteral("fresh=") + shellQuoted(fresh),
        QStringLiteral("previous=") + shellQuoted(previous),
        QStringLiteral("executable=") + shellQuoted(m_installed->executable),
        // Gives up, touching nothing, when the application does not quit in time.
        QStringLiteral("tries=0"),
        QStringLiteral("while kill -0 %1 2>/dev/null; do").arg(m_options.processID),
        QStringLiteral("  tries=$((tries + 1))"),
        QStringLiteral("  if [ \"$tries\" -gt %1 ]; then exit 1; fi").arg(tries),
        QStringLiteral("  sleep 0.2"),
        QStringLiteral("done"),
        QStringLiteral("start() { nohup \"$1/$executable\" >/dev/null 2>&1 & }"),
        // The new copy is complete beside the old one before the old one moves; any failure
        // puts the old bundle back and starts it.
        QStringLiteral("rm -rf \"$fresh\""),
        QStringLiteral("if ! %1 \"$staged\" \"$fresh\"; then rm -rf \"$fresh\"; start \"$installed\"; exit 1; fi")
            .arg(m_options.copyCommand),
        QStringLiteral("if ! mv \"$installed\" \"$previous\"; then rm -rf \"$fresh\"; start \"$installed\"; exit 1; fi"),
        QStringLiteral("if ! mv \"$fresh\" \"$installed\"; then mv \"$previous\" \"$installed\"; rm -rf \"$fresh\"; "
                       "start \"$installed\"; exit 1; fi"),
        QStringLiteral("rm -rf \"$previous\""),
        QStringLiteral("rm -rf \"$staging\""),
        QStringLiteral("start \"$installed\""),
    };
    return lines.join(u'\n');
}

void UpdateInstaller::relaunch()
{
    if (m_swapStarted || m_phase.kind != Phase::Kind::readyToRelaunch || !m_staged || !m_installed)
        return;
    const quint64 generation = m_generation;
    auto refuse = [&] {
        m_logger.error(QStringLiteral("Could not start the update swap"));
        fail(Failure::install, generation);
    };
    // Before quitting: the staged copy is still there and still ours, and the folder the
    // bundle lies in takes the new one.
    const QString parent = QFileInfo(m_installed->path).path();
    if (!isRealDirectory(*m_staged) || !m_signature->satisfiesRequirement(m_installed->path, *m_staged) ||
        ::access(QFile::encodeName(parent).constData(), W_OK) != 0)
        return refuse();

    const QString scriptPath = m_options.temporaryFolder + QStringLiteral("/ambrel-swap-") + newUUID() + QStringLiteral(".sh");
    // QSaveFile's commit() can answer true when its last flush failed (a full disk, a file-size
    // limit): the script counts only once every byte was written and flushed.
    const QByteArray text = swapScript(*m_staged).toUtf8();
    QSaveFile script(scriptPath);
    if (!script.open(QIODevice::WriteOnly) || script.write(text) != text.size() || !script.flush() || !script.commit())
        return refuse();
    if (!QFile::setPermissions(scriptPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                               QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther))
        return refuse();
    if (!QProcess::startDetached(QStringLiteral("/bin/sh"), {scriptPath}))
        return refuse();
    m_swapStarted = true;
    emit swapStarted(scriptPath);
    if (m_options.quit)
        m_options.quit();
}
