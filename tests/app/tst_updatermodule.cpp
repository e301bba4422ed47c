#include "AppcastUpdater.h"
#include "TestCommon.h"
#include "UpdatePresenter.h"

// The network part of the updater is loaded on the first check; when it cannot be, that check
// fails like an unreachable feed instead of hanging, and the next one may try again.
class UpdaterModuleTest : public QObject {
    Q_OBJECT

    struct Presenter : UpdatePresenter {
        void present(const UpdateCheckResult &result) override { results.append(result); }
        QList<UpdateCheckResult> results;
    };

private slots:
    void aMissingNetworkPartFailsTheCheck()
    {
        Presenter presenter;
        AppcastUpdater updater(QUrl(u"https://example.org/appcast.xml"_s), u"1.0.0"_s, &presenter, nullptr,
                               [](QString *error) {
                                   *error = u"Cannot load library"_s;
                                   return std::unique_ptr<FeedFetcher>();
                               });
        QVERIFY(updater.canCheckForUpdates());
        updater.checkForUpdates();
        QTRY_COMPARE(presenter.results.size(), 1);
        QCOMPARE(presenter.results.first().outcome, UpdateCheckResult::Outcome::Failed);
        QCOMPARE(presenter.results.first().error, u"Cannot load library"_s);
        QVERIFY(updater.canCheckForUpdates());
    }
};

TANDRILL_TEST_CLASS(UpdaterModuleTest)
#include "tst_updatermodule.moc"
