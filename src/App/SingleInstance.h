#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class QLocalServer;

// One running Ambrel per user. A second launch hands the files and "corvish" URLs it was given to
// the running instance and exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // A socket in the user's private runtime folder, so no other user can stand in for us.
    static QString defaultServerName();
    // Files (relative to `workingDirectory`) and URLs among the arguments; options are skipped.
    static QList<QUrl> urlsFromArguments(const QStringList& arguments, const QString& workingDirectory);

    // True when a running instance took the URLs (this process should then exit).
    bool forwardToRunningInstance(const QList<QUrl>& urls, int timeoutMs = 1000);
    // Becomes the running instance; false when another live instance already is.
    bool listen();
    // URLs that arrive before this are kept and handed over now, in order; later ones are
    // announced as they come.
    void startDelivering();

signals:
    void urlsReceived(const QList<QUrl>& urls);

private:
    void receive(const QList<QUrl>& urls);

    QString m_name;
    QLocalServer* m_server = nullptr;
    bool m_delivering = false;
    QList<QUrl> m_pending;
};
