#include "Appcast.h"
#include "AppcastUpdater.h"
#include "LocalizationManager.h"
#include "TestEnvironment.h"
#include "UpdateDialog.h"
#include "VersionComparator.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

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

QByteArray appcast(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
           "  <channel>\n    <title>Tandrill</title>\n" +
           items + "\n  </channel>\n</rss>\n";
}

QByteArray item(const QByteArray &version, const QByteArray &shortVersion, const QByteArray &link)
{
    return "<item><title>Tandrill " + shortVersion + "</title><sparkle:version>" + version +
           "</sparkle:version><sparkle:shortVersionString>" + shortVersion + "</sparkle:shortVersionString><link>" +
           link +
           "</link>"
           "<enclosure url=\"https://example.org/Tandrill-" +
           shortVersion + ".dmg\" length=\"1\" type=\"application/octet-stream\"/></item>";
}
} // namespace

class UpdaterTest : public QObject {
    Q_OBJECT

private slots:
    void compareVersions_data();
    void compareVersions();
    void parseFeed();
    void parseFeedVersionOnEnclosure();
    void parseRejectsMalformed_data();
    void parseRejectsMalformed();

    void newerVersionAvailable();
    void sameVersionUpToDate();
    void malformedFeedFails();
    void unreachableFeedFails();
    void serverErrorFails();
    void noFeedNoChecks();

    void dialogTexts();
    void dialogOpensDownloadPage();
};

void UpdaterTest::compareVersions_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    QTest::newRow("equal") << QStringLiteral("1.0.0") << QStringLiteral("1.0.0") << 0;
    QTest::newRow("trailing zero") << QStringLiteral("1.0") << QStringLiteral("1.0.0") << 0;
    QTest::newRow("patch") << QStringLiteral("1.0.1") << QStringLiteral("1.0") << 1;
    QTest::newRow("numeric, not textual") << QStringLiteral("1.10") << QStringLiteral("1.9") << 1;
    QTest::newRow("major") << QStringLiteral("2") << QStringLiteral("1.99.99") << 1;
    QTest::newRow("beta before release") << QStringLiteral("1.0b2") << QStringLiteral("1.0") << -1;
    QTest::newRow("beta order") << QStringLiteral("1.0b2") << QStringLiteral("1.0b10") << -1;
    QTest::newRow("alpha before beta") << QStringLiteral("1.0a5") << QStringLiteral("1.0b1") << -1;
    QTest::newRow("release after rc") << QStringLiteral("2.0") << QStringLiteral("2.0rc1") << 1;
    QTest::newRow("leading zeros") << QStringLiteral("1.02") << QStringLiteral("1.2") << 0;
    QTest::newRow("long numbers") << QStringLiteral("1.123456789012345678901") << QStringLiteral("1.99") << 1;
    QTest::newRow("build numbers") << QStringLiteral("120") << QStringLiteral("99") << 1;
}

void UpdaterTest::compareVersions()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    QCOMPARE(VersionComparator::compare(a, b), expected);
    QCOMPARE(VersionComparator::compare(b, a), -expected);
}

void UpdaterTest::parseFeed()
{
    QString error;
    const auto items = Appcast::parse(appcast(item("110", "1.1.0", "https://example.org/1.1") +
                                              item("200", "2.0.0", "https://example.org/2.0") +
                                              item("150", "1.5.0", "https://example.org/1.5")),
                                      &error);
    QVERIFY2(items, qPrintable(error));
    QCOMPARE(items->size(), 3);
    const auto newest = Appcast::newest(*items);
    QVERIFY(newest);
    QCOMPARE(newest->version, QStringLiteral("200"));
    QCOMPARE(newest->displayVersion, QStringLiteral("2.0.0"));
    QCOMPARE(newest->downloadPage, QUrl(QStringLiteral("https://example.org/2.0")));
    QVERIFY(!Appcast::newest({}));
}

void UpdaterTest::parseFeedVersionOnEnclosure()
{
    QString error;
    const auto items = Appcast::parse(
        appcast("<item><title>3</title><enclosure url=\"https://example.org/Tandrill-3.tar.gz\" "
                "sparkle:version=\"3.0\" sparkle:shortVersionString=\"3.0 (Linux)\"/></item>"
                "<item><title>9 for Windows</title><enclosure url=\"https://example.org/Tandrill-9.msi\" "
                "sparkle:version=\"9.0\" sparkle:os=\"windows\"/></item>"
                "<item><title>no version</title><link>https://example.org/x</link></item>"),
        &error);
    QVERIFY2(items, qPrintable(error));
    QCOMPARE(items->size(), 1);
    QCOMPARE(items->first().version, QStringLiteral("3.0"));
    QCOMPARE(items->first().displayVersion, QStringLiteral("3.0 (Linux)"));
    QCOMPARE(items->first().downloadPage, QUrl(QStringLiteral("https://example.org/Tandrill-3.tar.gz")));
}

void UpdaterTest::parseRejectsMalformed_data()
{
    QTest::addColumn<QByteArray>("feed");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("html") << QByteArray("<html><body>Not found</body></html>");
    QTest::newRow("truncated") << appcast(item("2", "2", "https://example.org")).left(200);
    QTest::newRow("unclosed tag") << QByteArray("<rss><channel><item></channel></rss>");
    QTest::newRow("no channel") << QByteArray("<rss version=\"2.0\"></rss>");
}

void UpdaterTest::parseRejectsMalformed()
{
    QFETCH(QByteArray, feed);
    QString error;
    QVERIFY(!Appcast::parse(feed, &error));
    QVERIFY(!error.isEmpty());
}

void UpdaterTest::newerVersionAvailable()
{
    FeedServer server;
    QVERIFY(server.listen());
    server.body = appcast(item("1.0.0", "1.0.0", "https://example.org/1.0") +
                          item("1.2.0", "1.2", "https://example.org/download/1.2"));
    RecordingPresenter presenter;
    AppcastUpdater updater(server.url(), QStringLiteral("1.0.0"), &presenter);
    QVERIFY(updater.canCheckForUpdates());
    QSignalSpy canCheck(&updater, &UpdaterManager::canCheckForUpdatesChanged);

    updater.checkForUpdates();
    // No second check while one runs.
    QVERIFY(!updater.canCheckForUpdates());
    updater.checkForUpdates();
    QTRY_COMPARE(presenter.results.size(), 1);
    QVERIFY(updater.canCheckForUpdates());
    QCOMPARE(canCheck.size(), 2);
    QCOMPARE(server.requests, 1);

    const UpdateCheckResult result = presenter.results.first();
    QCOMPARE(result.outcome, UpdateCheckResult::Outcome::UpdateAvailable);
    QCOMPARE(result.availableVersion, QStringLiteral("1.2"));
    QCOMPARE(result.currentVersion, QStringLiteral("1.0.0"));
    QCOMPARE(result.downloadPage, QUrl(QStringLiteral("https://example.org/download/1.2")));
}

void UpdaterTest::sameVersionUpToDate()
{
    FeedServer server;
    QVERIFY(server.listen());
    server.body =
        appcast(item("0.9", "0.9", "https://example.org/0.9") + item("1.0", "1.0", "https://example.org/1.0"));
    RecordingPresenter presenter;
    AppcastUpdater updater(server.url(), QStringLiteral("1.0.0"), &presenter);
    updater.checkForUpdates();
    QTRY_COMPARE(presenter.results.size(), 1);
    QCOMPARE(presenter.results.first().outcome, UpdateCheckResult::Outcome::UpToDate);
    QVERIFY(updater.canCheckForUpdates());

    // An empty feed has nothing newer either; a second check runs again.
    server.body = appcast(QByteArray());
    updater.checkForUpdates();
    QTRY_COMPARE(presenter.results.size(), 2);
    QCOMPARE(presenter.results.last().outcome, UpdateCheckResult::Outcome::UpToDate);
    QCOMPARE(server.requests, 2);
}

void UpdaterTest::malformedFeedFails()
{
    FeedServer server;
    QVERIFY(server.listen());
    server.body = "<rss><channel><item><sparkle:version>2.0";
    RecordingPresenter presenter;
    AppcastUpdater updater(server.url(), QStringLiteral("1.0.0"), &presenter);
    updater.checkForUpdates();
    QTRY_COMPARE(presenter.results.size(), 1);
    QCOMPARE(presenter.results.first().outcome, UpdateCheckResult::Outcome::Failed);
    QVERIFY(!presenter.results.first().error.isEmpty());
    QVERIFY(updater.canCheckForUpdates());
}

void UpdaterTest::unreachableFeedFails()
{
    QUrl closed;
    {
        FeedServer server;
        QVERIFY(server.listen());
        closed = server.url();
    }
    RecordingPresenter presenter;
    AppcastUpdater updater(closed, QStringLiteral("1.0.0"), &presenter);
    updater.checkForUpdates();
    QTRY_COMPARE(presenter.results.size(), 1);
    QCOMPARE(presenter.results.first().outcome, UpdateCheckResult::Outcome::Failed);
    QVERIFY(!presenter.results.first().error.isEmpty());
    QVERIFY(updater.canCheckForUpdates());
}

void UpdaterTest::serverErrorFails()
{
    FeedServer server;
    QVERIFY(server.listen());
    server.status = "404 Not Found";
    server.body = "gone";
    RecordingPresenter presenter;
    AppcastUpdater updater(server.url(), QStringLiteral("1.0.0"), &presenter);
    updater.checkForUpdates();
    QTRY_COMPARE(presenter.results.size(), 1);
    QCOMPARE(presenter.results.first().outcome, UpdateCheckResult::Outcome::Failed);
}

void UpdaterTest::noFeedNoChecks()
{
    RecordingPresenter presenter;
    AppcastUpdater updater(QUrl(), QStringLiteral("1.0.0"), &presenter);
    QVERIFY(!updater.canCheckForUpdates());
    updater.checkForUpdates();
    QTest::qWait(50);
    QVERIFY(presenter.results.isEmpty());
}

void UpdaterTest::dialogTexts()
{
    QSettings settings(TestEnvironment::root() + QStringLiteral("/updater.ini"), QSettings::IniFormat);
    LocalizationManager loc(&settings);
    UpdateDialog dialog(&loc, {});
    UpdateCheckResult result;
    result.currentVersion = QStringLiteral("1.0.0");

    result.outcome = UpdateCheckResult::Outcome::UpToDate;
    dialog.present(result);
    QVERIFY(dialog.currentBox());
    QVERIFY(dialog.currentBox()->isVisible());
    QCOMPARE(dialog.currentBox()->text(),
             QStringLiteral("Tandrill ist auf dem neuesten Stand.\n\nVersion 1.0.0 ist die neueste Version."));

    loc.setLang(QStringLiteral("en"));
    dialog.present(result);
    QCOMPARE(dialog.currentBox()->text(),
             QStringLiteral("You’re up to date!\n\nTandrill 1.0.0 is currently the newest version available."));

    result.outcome = UpdateCheckResult::Outcome::UpdateAvailable;
    result.availableVersion = QStringLiteral("1.2");
    result.downloadPage = QUrl(QStringLiteral("https://example.org/download"));
    dialog.present(result);
    QCOMPARE(dialog.currentBox()->text(),
             QStringLiteral("Version 1.2 of Tandrill is available.\n\nYou have version 1.0.0."));
    auto *download = dialog.currentBox()->findChild<QPushButton *>(QStringLiteral("openDownloadPage"));
    QVERIFY(download);
    QCOMPARE(download->text(), QStringLiteral("Open Download Page"));

    // Errors are shown as typed, never as markup.
    result.outcome = UpdateCheckResult::Outcome::Failed;
    result.error = QStringLiteral("<b>Connection refused</b>");
    dialog.present(result);
    QCOMPARE(dialog.currentBox()->textFormat(), Qt::PlainText);
    QCOMPARE(dialog.currentBox()->text(), QStringLiteral("The update check failed.\n\n<b>Connection refused</b>"));
    loc.setLang(QStringLiteral("de"));
    dialog.present(result);
    QCOMPARE(dialog.currentBox()->text(),
             QStringLiteral("Die Suche nach Updates ist fehlgeschlagen.\n\n<b>Connection refused</b>"));
    dialog.currentBox()->close();
}

void UpdaterTest::dialogOpensDownloadPage()
{
    QList<QUrl> opened;
    UpdateDialog dialog(nullptr, [&opened](const QUrl &url) { opened.append(url); });
    UpdateCheckResult result;
    result.outcome = UpdateCheckResult::Outcome::UpdateAvailable;
    result.currentVersion = QStringLiteral("1.0.0");
    result.availableVersion = QStringLiteral("2.0");
    result.downloadPage = QUrl(QStringLiteral("https://example.org/2.0"));
    dialog.present(result);
    auto *download = dialog.currentBox()->findChild<QPushButton *>(QStringLiteral("openDownloadPage"));
    QVERIFY(download);
    QCOMPARE(download->text(), QStringLiteral("Download-Seite öffnen"));
    QTest::mouseClick(download, Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl>{result.downloadPage});
}

TANDRILL_TEST_MAIN_IMPL(UpdaterTest, QApplication)
#include "tst_updater.moc"
