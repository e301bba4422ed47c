#include "Appcast.h"
#include "AppcastUpdater.h"
#include "TestMain.h"
#include "UpdatePresenter.h"
#include "VersionComparator.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
// A one-route HTTP server on the loopback interface: every GET gets the same answer.
class FeedServer : public QObject {
public:
    FeedServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n"))
                        return;
                    ++requests;
                    m_request.clear();
                    const QByteArray head = "HTTP/1.1 " + status +
                                            "\r\nContent-Type: application/rss+xml\r\n"
                                            "Content-Length: " +
                                            QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
                    socket->write(head + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(m_server.serverPort())); }

    QByteArray status = "200 OK";
    QByteArray body;
    int requests = 0;

private:
    QTcpServer m_server;
    QByteArray m_request;
};

class RecordingPresenter : public UpdatePresenter {
public:
    void present(const UpdateCheckResult &result) override { results.append(result); }
    QList<UpdateCheckResult> results;
};

// A feed offering 0.9 and the given version.
QByteArray appcast(const QByteArray &version)
{
    QByteArray items;
    for (const QByteArray &v : {QByteArray("0.9"), version})
        items += "<item><title>Tandrill " + v + "</title><sparkle:version>" + v +
                 "</sparkle:version><sparkle:shortVersionString>" + v +
                 "</sparkle:shortVersionString>"
                 "<link>https://example.org/" +
                 v + "</link><enclosure url=\"https://example.org/Tandrill-" + v +
                 ".dmg\" length=\"1\" type=\"application/octet-stream\"/></item>";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><title>Tandrill</title>" +
           items + "</channel></rss>\n";
}
} // namespace

// Version order and every way a check for updates can end.
class TestUpdater : public QObject {
    Q_OBJECT

private slots:
    void versionOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("trailing zero") << QStringLiteral("1.0") << QStringLiteral("1.0.0") << 0;
        QTest::newRow("numeric, not textual") << QStringLiteral("1.10") << QStringLiteral("1.9") << 1;
        QTest::newRow("beta before release") << QStringLiteral("1.0b2") << QStringLiteral("1.0") << -1;
        QTest::newRow("alpha before beta") << QStringLiteral("1.0a5") << QStringLiteral("1.0b1") << -1;
    }
    void versionOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(VersionComparator::compare(a, b), expected);
        QCOMPARE(VersionComparator::compare(b, a), -expected);
    }

    void check_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<UpdateCheckResult::Outcome>("outcome");
        QTest::newRow("newer") << QByteArray("200 OK") << appcast("1.2") << UpdateCheckResult::Outcome::UpdateAvailable;
        QTest::newRow("same") << QByteArray("200 OK") << appcast("1.0") << UpdateCheckResult::Outcome::UpToDate;
        QTest::newRow("malformed") << QByteArray("200 OK") << QByteArray("<rss><channel><item><sparkle:version>2.0")
                                   << UpdateCheckResult::Outcome::Failed;
        QTest::newRow("server error") << QByteArray("404 Not Found") << QByteArray("gone")
                                      << UpdateCheckResult::Outcome::Failed;
        QTest::newRow("unreachable") << QByteArray() << QByteArray() << UpdateCheckResult::Outcome::Failed;
    }
    void check()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        QFETCH(UpdateCheckResult::Outcome, outcome);
        auto server = std::make_unique<FeedServer>();
        QVERIFY(server->listen());
        server->status = status;
        server->body = body;
        RecordingPresenter presenter;
        AppcastUpdater updater(server->url(), QStringLiteral("1.0.0"), &presenter);
        if (status.isEmpty())
            server.reset(); // nobody listens any more
        updater.checkForUpdates();
        QVERIFY(!updater.canCheckForUpdates()); // no second check while one runs
        updater.checkForUpdates();
        QTRY_COMPARE(presenter.results.size(), 1);
        QCOMPARE(presenter.results.first().outcome, outcome);
        QCOMPARE(presenter.results.first().error.isEmpty(), outcome != UpdateCheckResult::Outcome::Failed);
        QVERIFY(updater.canCheckForUpdates());
        if (server)
            QCOMPARE(server->requests, 1);
    }
};

TANDRILL_TEST_CLASS(TestUpdater)
#include "tst_updater.moc"
