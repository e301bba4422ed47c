#include "AppcastUpdater.h"
#include "TestMain.h"
#include "UpdatePresenter.h"

#include <QtTest>

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
        AppcastUpdater updater(QUrl(QStringLiteral("https://example.org/appcast.xml")), QStringLiteral("1.0.0"),
                               &presenter, nullptr, [](QString *error) {
                                   *error = QStringLiteral("Cannot load library");
                                   return std::unique_ptr<FeedFetcher>();
                               });
        QVERIFY(updater.canCheckForUpdates());
        updater.checkForUpdates();
        QTRY_COMPARE(presenter.results.size(), 1);
        QCOMPARE(presenter.results.first().outcome, UpdateCheckResult::Outcome::Failed);
        QCOMPARE(presenter.results.first().error, QStringLiteral("Cannot load library"));
        QVERIFY(updater.canCheckForUpdates());
    }
};

TANDRILL_TEST_CLASS(UpdaterModuleTest)
#include "tst_updatermodule.moc"
