#include "Launch/SingleInstance.h"
#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class SingleInstanceTest : public QObject {
    Q_OBJECT

    QString m_name;

private slots:
    void init()
    {
        static int round = 0;
        m_name = QStringLiteral("ambrel-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++round);
    }

    void aLaunchWithoutFilesAsksTheRunningInstanceToShowItself()
    {
        SingleInstance running(m_name);
        QVERIFY(running.listen());
        QSignalSpy shown(&running, &SingleInstance::showRequested);
        QSignalSpy opened(&running, &SingleInstance::urlsReceived);

        // While the first instance is still starting, the request waits with the files.
        SingleInstance second(m_name);
        QVERIFY(second.forwardToRunningInstance({}));
        QVERIFY(second.forwardToRunningInstance({QUrl::fromLocalFile("/abs/a.ambrel")}));
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(shown.size(), 0);
        running.startDelivering();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(shown.size(), 1);

        // Afterwards, each launch without files asks again; a launch with files does not.
        QVERIFY(second.forwardToRunningInstance({}));
        QTRY_COMPARE(shown.size(), 2);
        QVERIFY(second.forwardToRunningInstance({QUrl::fromLocalFile("/abs/b.ambrel")}));
        QTRY_COMPARE(opened.size(), 2);
        QCOMPARE(shown.size(), 2);
    }

    void onlyAnAbandonedSocketIsTakenOver()
    {
        SingleInstance first(m_name);
        QVERIFY(first.listen());
        QSignalSpy firstShown(&first, &SingleInstance::showRequested);
        first.startDelivering();
        // A live instance keeps its name, also once the refused one has ended.
        {
            SingleInstance second(m_name);
            QVERIFY(!second.listen());
        }
        QVERIFY(SingleInstance(m_name).forwardToRunningInstance({}));
        QTRY_COMPARE(firstShown.size(), 1);

        // A crashed instance leaves its socket file behind, bound by nobody.
        const QString path = QDir::tempPath() + u'/' + m_name + QStringLiteral("-left");
        {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un a{};
            a.sun_family = AF_UNIX;
            const QByteArray name = QFile::encodeName(path);
            std::memcpy(a.sun_path, name.constData(), name.size());
            QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
            ::close(fd);
            QVERIFY(QFileInfo(path).exists());
        }
        SingleInstance restarted(path);
        QVERIFY(restarted.listen());
        QSignalSpy shown(&restarted, &SingleInstance::showRequested);
        restarted.startDelivering();
        QVERIFY(SingleInstance(path).forwardToRunningInstance({}));
        QTRY_COMPARE(shown.size(), 1);
    }

    void anEndedInstanceLeavesNoSocket()
    {
        const QString path = QDir::tempPath() + u'/' + m_name;
        {
            SingleInstance running(m_name);
            QVERIFY(running.listen());
            QVERIFY(QFileInfo(path).exists());
        }
        QVERIFY(!QFileInfo(path).exists());
        QVERIFY(!SingleInstance(m_name).forwardToRunningInstance({}, 100));
    }

    void oversizedOrForeignMessagesAreDropped_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("no line break, over the limit")
            << QByteArray(SingleInstance::maximumMessageSize + 4096, 'x');
        QTest::newRow("a line over the limit")
            << QByteArray("[\"") + QByteArray(SingleInstance::maximumMessageSize, 'a') + "\"]\n";
        QTest::newRow("not a list") << QByteArray("{\"a\":1}\n");
        QTest::newRow("not JSON") << QByteArray("hello\n");
    }
    void oversizedOrForeignMessagesAreDropped()
    {
        QFETCH(QByteArray, message);
        SingleInstance running(m_name);
        QVERIFY(running.listen());
        running.startDelivering();
        QSignalSpy shown(&running, &SingleInstance::showRequested);
        QSignalSpy opened(&running, &SingleInstance::urlsReceived);

        QLocalSocket hostile;
        hostile.connectToServer(m_name);
        QVERIFY(hostile.waitForConnected(1000));
        hostile.write(message);
        // The running instance hangs up on the sender instead of holding what it sends.
        QTRY_COMPARE_WITH_TIMEOUT(hostile.state(), QLocalSocket::UnconnectedState, 10000);
        QCOMPARE(shown.size(), 0);
        QCOMPARE(opened.size(), 0);

        // And still serves the next launch.
        SingleInstance next(m_name);
        QVERIFY(next.forwardToRunningInstance({QUrl::fromLocalFile("/abs/c.ambrel")}));
        QTRY_COMPARE(opened.size(), 1);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_SingleInstance.moc"
