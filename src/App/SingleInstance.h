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

    static QString defaultServerName();
    // Files (relative to `workingDirectory`) and URLs among the arguments; options are skipped.
    static QList<QUrl> urlsFromArguments(const QStringList& arguments, const QString& workingDirectory);

    // True when a running instance took the URLs (this process should then exit).
    bool forwardToRunningInstance(const QList<QUrl>& urls, int timeoutMs = 1000);
    // Becomes the running instance.
    bool listen();

signals:
    void urlsReceived(const QList<QUrl>& urls);

private:
    QString m_name;
    QLocalServer* m_server = nullptr;
};
