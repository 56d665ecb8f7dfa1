#pragma once

#include "Platform/ArchiveExtractor.h"
#include "Platform/CodeSignature.h"
#include "SecurityCore/PrivacyLog.h"
#include "Updates/UpdateRelease.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QFile;
class QThread;

struct UpdateInstallerOptions {
    QString temporaryFolder;    // empty: the system's
    qint64 processID = 0;       // 0: this process
    std::function<void()> quit; // the application's normal quit path
    QString copyCommand;        // empty: "cp -a"
    int waitSeconds = 60;       // how long the script waits for the application to quit
    qint64 maxDownloadBytes = qint64(1) << 30;
    Platform::ArchiveExtractor::Limits limits;
};

// Installs an offered release in place of the running bundle: downloads the zip archive with
// progress, unpacks it off the main thread, accepts the bundle in it only when it is signed like
// the running build, keeps it staged, and on the user's word starts a swap script that waits for
// the application to quit, replaces the bundle without ever leaving the user without a working
// copy, and starts the new version. The installer itself never touches the installed bundle.
// Main thread only.
class UpdateInstaller : public QObject {
    Q_OBJECT
public:
    enum class Failure { download, unreadable, notOurs, install };

    struct Phase {
        enum class Kind { idle, downloading, verifying, readyToRelaunch, failed };
        Kind kind = Kind::idle;
        double fraction = 0;               // downloading only
        Failure failure = Failure::download; // failed only

        static Phase idle() { return {}; }
        static Phase downloading(double fraction) { return {Kind::downloading, fraction, Failure::download}; }
        static Phase verifying() { return {Kind::verifying, 0, Failure::download}; }
        static Phase readyToRelaunch() { return {Kind::readyToRelaunch, 0, Failure::download}; }
        static Phase failed(Failure failure) { return {Kind::failed, 0, failure}; }
        bool operator==(const Phase& other) const;
    };

    // The installed bundle and where the executable lies in it.
    struct Bundle {
        QString path;       // ".../Ambrel.app"
        QString executable; // relative, e.g. "bin/ambrel"
        bool operator==(const Bundle&) const = default;
    };

    using Options = UpdateInstallerOptions;

    // Without an installed bundle (a development build) nothing is ever downloaded or swapped.
    UpdateInstaller(std::optional<Bundle> installed, QString currentVersion, QNetworkAccessManager* session,
                    std::shared_ptr<Platform::ArchiveExtractor> extractor, std::shared_ptr<Platform::CodeSignature> signature,
                    Options options = {}, QObject* parent = nullptr);
    ~UpdateInstaller() override;

    // The bundle folder ("<Name>.app" holding the signature manifest) that the executable lies
    // in, if any.
    static std::optional<Bundle> bundleContaining(const QString& executablePath);
    // The text between single quotes for the shell, every ' written as '\''.
    static QString shellQuoted(const QString& text);

    bool canInstall() const { return m_installed.has_value(); }
    const std::optional<Bundle>& installed() const { return m_installed; }
    const Phase& phase() const { return m_phase; }
    std::optional<QString> staged() const { return m_staged; }

    // Starts an attempt unless one is downloading or verifying. A release that is not newer
    // than the running build, or whose address is not https, is never installed.
    void download(const UpdateRelease& release);
    // Stops the attempt, removes its files and forgets any staged bundle.
    void cancel();
    // With a verified bundle staged: writes and starts the swap script, then quits. Once the
    // script has started nothing can start another.
    void relaunch();

signals:
    void phaseChanged();
    void swapStarted(const QString& scriptPath);

private:
    void setPhase(const Phase& phase, quint64 generation);
    void fail(Failure failure, quint64 generation) { setPhase(Phase::failed(failure), generation); }
    void abortTransfer();
    void discardStaged();
    void received(quint64 generation);
    void verify(quint64 generation, const QString& archive);
    QString swapScript(const QString& staged) const;

    enum class Verdict { accepted, unreadable, notOurs };
    void verified(quint64 generation, const QString& archive, const QString& unpackFolder, Verdict verdict,
                  const QString& bundle);

    std::optional<Bundle> m_installed;
    QString m_currentVersion;
    QPointer<QNetworkAccessManager> m_session;
    std::shared_ptr<Platform::ArchiveExtractor> m_extractor;
    std::shared_ptr<Platform::CodeSignature> m_signature;
    Options m_options;
    PrivacyLog::Logger m_logger;

    Phase m_phase;
    std::optional<QString> m_staged;
    quint64 m_generation = 0; // the current attempt; only it may write the phase
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QFile> m_archive;
    bool m_downloadTooLarge = false;
    QList<QPointer<QThread>> m_workers;
    bool m_swapStarted = false;
};

// "download", "unreadable", "notOurs", "install".
QString toRaw(UpdateInstaller::Failure failure);
