#include "Appcast.h"
#include "AppcastUpdater.h"
#include "TestCommon.h"
#include "UpdatePresenter.h"
#include "VersionComparator.h"

namespace {
class RecordingPresenter : public UpdatePresenter {
public:
    void present(const UpdateCheckResult &result) override { results.append(result); }
    QList<UpdateCheckResult> results;
};

// A feed offering 0.9 and the given version.
QByteArray appcast(const QByteArray &version)
{
    QByteArray items;
    for (const QByteArray &v : {"0.9"_ba, version})
        items += QByteArray("<item><title>Tandrill %1</title><sparkle:version>%1</sparkle:version>"
                            "<sparkle:shortVersionString>%1</sparkle:shortVersionString><link>https://example.org/%1"
                            "</link><enclosure url=\"https://example.org/Tandrill-%1.dmg\" length=\"1\" "
                            "type=\"application/octet-stream\"/></item>")
                     .replace("%1", v);
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
        QTest::newRow("trailing zero") << u"1.0"_s << u"1.0.0"_s << 0;
        QTest::newRow("numeric, not textual") << u"1.10"_s << u"1.9"_s << 1;
        QTest::newRow("a point release after its release") << u"1.2.1"_s << u"1.2"_s << 1;
        QTest::newRow("beta before release") << u"1.0b2"_s << u"1.0"_s << -1;
        QTest::newRow("alpha before beta") << u"1.0a5"_s << u"1.0b1"_s << -1;
    }
    void versionOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(VersionComparator::compare(a, b), expected);
        QCOMPARE(VersionComparator::compare(b, a), -expected);
    }

    // Through the real network module, loaded on the first check (when it cannot be, the check fails, not hangs).
    void check_data()
    {
        QTest::addColumn<QByteArray>("body"); // no feed when null
        QTest::addColumn<bool>("loads");      // the network part
        QTest::addColumn<UpdateCheckResult::Outcome>("outcome");
        QTest::newRow("newer") << appcast("1.2") << true << UpdateCheckResult::Outcome::UpdateAvailable;
        QTest::newRow("same") << appcast("1.0") << true << UpdateCheckResult::Outcome::UpToDate;
        QTest::newRow("malformed") << "<rss><channel><item><sparkle:version>2.0"_ba << true
                                   << UpdateCheckResult::Outcome::Failed;
        QTest::newRow("unreachable") << QByteArray() << true << UpdateCheckResult::Outcome::Failed;
        QTest::newRow("network part missing") << appcast("1.2") << false << UpdateCheckResult::Outcome::Failed;
    }
    void check()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, loads);
        QFETCH(UpdateCheckResult::Outcome, outcome);
        const QTemporaryDir dir;
        const QString feed = dir.path() + u"/appcast.xml"_s;
        if (!body.isNull())
            writeBytes(feed, body);
        RecordingPresenter presenter;
        const auto missing = [](QString *error) {
            *error = u"Cannot load library"_s;
            return std::unique_ptr<FeedFetcher>();
        };
        AppcastUpdater updater(QUrl::fromLocalFile(feed), u"1.0.0"_s, &presenter, nullptr,
                               loads ? AppcastUpdater::FetcherSource() : missing);
        updater.checkForUpdates();
        QVERIFY(!updater.canCheckForUpdates()); // no second check while one runs
        updater.checkForUpdates();
        QTRY_COMPARE(presenter.results.size(), 1);
        QCOMPARE(presenter.results.first().outcome, outcome);
        QCOMPARE(presenter.results.first().error.isEmpty(), outcome != UpdateCheckResult::Outcome::Failed);
        QVERIFY(loads || presenter.results.first().error == u"Cannot load library"_s);
        QVERIFY(updater.canCheckForUpdates());
    }
};

TANDRILL_TEST_CLASS(TestUpdater)
#include "tst_updater.moc"
