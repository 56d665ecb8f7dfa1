#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QUrl>

#include <map>
#include <memory>

class QSocketNotifier;

// One running Ambrel per user. A second launch hands the files and "corvish" URLs it was given to
// the running instance and exits; a launch with none asks the running instance to show itself.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // One message is one line of JSON; a connection that sends more without a line break is
    // dropped.
    static constexpr qint64 maximumMessageSize = 1024 * 1024;

    // A socket in the user's private runtime folder, so no other user can stand in for us.
    static QString defaultServerName();
    // Files (relative to `workingDirectory`) and URLs among the arguments; options are skipped.
    static QList<QUrl> urlsFromArguments(const QStringList& arguments, const QString& workingDirectory);

    // True when a running instance took the URLs (this process should then exit). An empty list
    // asks it to show its window.
    bool forwardToRunningInstance(const QList<QUrl>& urls, int timeoutMs = 1000);
    // Becomes the running instance; false when another live instance already is.
    bool listen();
    // URLs and requests to show that arrive before this are kept and handed over now, in order;
    // later ones are announced as they come.
    void startDelivering();

signals:
    void urlsReceived(const QList<QUrl>& urls);
    void showRequested();

private:
    struct Connection;
    void accept();
    void read(int fd);
    void hangUp(int fd);
    void receive(const QList<QUrl>& urls);

    QString m_name;
    int m_listener = -1;
    QSocketNotifier* m_accepting = nullptr;
    std::map<int, std::unique_ptr<Connection>> m_connections;
    bool m_delivering = false;
    QList<QUrl> m_pending;
    bool m_showPending = false;
};
