#include "BulletRow.h"
#include "ContentView.h"
#include "DashboardTab.h"
#include "LanguageButton.h"
#include "OnboardingView.h"
#include "PathDisplay.h"
#include "StepRow.h"
#include "TestEnvironment.h"
#include "ViewStyle.h"
#include "ViewTestFixture.h"

#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace {

QString pickFor(const QString &lang, const char *german, const char *english)
{
    return QString::fromUtf8(lang == QLatin1String("en") ? english : german);
}

qreal opacityOf(const QWidget *widget)
{
    const auto *effect = qobject_cast<const QGraphicsOpacityEffect *>(widget->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

} // namespace

class TestOnboardingView : public QObject {
    Q_OBJECT

private:
    int m_case = 0;
    std::unique_ptr<ViewTestFixture> m_fixture;

    ViewTestFixture &fixture() { return *m_fixture; }
    QString homeFolder(const QString &name) const
    {
        return QDir::homePath() + QLatin1String("/Library/Mobile Documents/com~apple~CloudDocs/") + name;
    }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewTestFixture>(TestEnvironment::root() + QLatin1String("/wizard-") +
                                                      QString::number(++m_case));
    }
    void cleanup() { m_fixture.reset(); }

    void firstStepExplainsThenMovesOn_data() { addLanguageColumn(); }
    void firstStepExplainsThenMovesOn()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startFresh();
        OnboardingView wizard(&manager, &fixture().loc());
        QVERIFY(showView(&wizard, QSize(OnboardingView::kWidth, OnboardingView::kHeight)));
        QCOMPARE(childNamed<QWidget>(&wizard, "onboardingFrame")->size(), QSize(520, 600));
        QCOMPARE(childNamed<QLabel>(&wizard, "welcomeTitle")->text(),
                 pickFor(lang, "Willkommen bei Tandrill", "Welcome to Tandrill"));
        QCOMPARE(childNamed<QLabel>(&wizard, "welcomeTagline")->text(),
                 pickFor(lang, "Dein Dock. Auf allen Macs. Immer gleich.", "Your Dock. On all Macs. Always in sync."));
        auto *step1 = childNamed<StepRow>(&wizard, "stepRow1");
        auto *step2 = childNamed<StepRow>(&wizard, "stepRow2");
        auto *getStarted = childNamed<QPushButton>(&wizard, "getStartedButton");
        auto *gotIt = childNamed<QPushButton>(&wizard, "gotItButton");
        QCOMPARE(wizard.step(), 1);
        QCOMPARE(step1->title(), pickFor(lang, "Wie funktioniert Tandrill?", "How does Tandrill work?"));
        QCOMPARE(step2->title(), pickFor(lang, "Sync-Ordner wählen", "Choose sync folder"));
        QVERIFY(!step1->isDone());
        QVERIFY(!step2->isDone());
        QVERIFY(!step2->isEnabled());
        QCOMPARE(opacityOf(step2), 0.35);
        QVERIFY(!getStarted->isEnabled());
        QCOMPARE(getStarted->text(), pickFor(lang, "Los geht's →", "Get started →"));
        QCOMPARE(gotIt->text(), pickFor(lang, "Verstanden →", "Got it →"));
        const auto bullets = wizard.findChildren<BulletRow *>();
        QCOMPARE(bullets.size(), 3);
        QCOMPARE(bullets[1]->text(), pickFor(lang, "Bis zu 4 Macs lesen und schreiben in denselben Ordner.",
                                             "Up to 4 Macs read and write to the same folder."));
        QVERIFY(bullets[0]->isVisibleTo(&wizard));
        QCOMPARE(childNamed<QLabel>(&wizard, "folderInstruction")->text(),
                 pickFor(lang, "Denselben iCloud-Ordner auf <b>allen Macs</b> einrichten.",
                         "Set up the <b>same iCloud folder</b> on all Macs."));
        auto *path = childNamed<PathDisplay>(&wizard, "pathDisplay");
        QVERIFY(path->isPlaceholder());
        QCOMPARE(path->icon(), QStringLiteral("folder"));
        QCOMPARE(path->text(), pickFor(lang, "Noch kein Ordner gewählt", "No folder selected yet"));

        QTest::mouseClick(gotIt, Qt::LeftButton);
        QCOMPARE(wizard.step(), 2);
        QVERIFY(step1->isDone());
        QVERIFY(step2->isEnabled());
        QTRY_VERIFY(!bullets[0]->isVisibleTo(&wizard)); // collapsed after the quarter-second animation
        QCOMPARE(opacityOf(step2), 1.0);
        QVERIFY(!step2->isDone());
        QVERIFY(!getStarted->isEnabled());
        QVERIFY(!childNamed<QWidget>(&wizard, "folderHint")->isVisibleTo(&wizard));
        QVERIFY(!manager.isOnboardingComplete());
    }

    void getStartedWaitsForAFolder_data() { addLanguageColumn(); }
    void getStartedWaitsForAFolder()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startFresh();
        OnboardingView wizard(&manager, &fixture().loc());
        QVERIFY(showView(&wizard, QSize(OnboardingView::kWidth, OnboardingView::kHeight)));
        auto *getStarted = childNamed<QPushButton>(&wizard, "getStartedButton");
        QTest::mouseClick(childNamed<QPushButton>(&wizard, "gotItButton"), Qt::LeftButton);
        auto *choose = childNamed<QPushButton>(&wizard, "chooseFolderButton");
        QCOMPARE(choose->text(), pickFor(lang, "Wählen…", "Choose…"));

        QTest::mouseClick(choose, Qt::LeftButton); // cancelled
        QVERIFY(!getStarted->isEnabled());
        QVERIFY(!wizard.selectedURL());

        const QString folder = homeFolder(QStringLiteral("Dock"));
        fixture().harness().folderPicker().answers.push_back(folder);
        QTest::mouseClick(choose, Qt::LeftButton);
        QCOMPARE(wizard.selectedURL(), std::optional(folder));
        QVERIFY(getStarted->isEnabled());
        QVERIFY(childNamed<StepRow>(&wizard, "stepRow2")->isDone());
        auto *path = childNamed<PathDisplay>(&wizard, "pathDisplay");
        QVERIFY(!path->isPlaceholder());
        QCOMPARE(path->icon(), QStringLiteral("folder.fill"));
        QCOMPARE(path->text(), QStringLiteral("~/Library/Mobile Documents/com~apple~CloudDocs/Dock"));
        auto *hint = childNamed<QWidget>(&wizard, "folderHint");
        QVERIFY(hint->isVisibleTo(&wizard));
        QCOMPARE(childNamed<QLabel>(hint, "folderHintText")->text(),
                 pickFor(lang, "Ordner gewählt. Auf allen weiteren Macs denselben Pfad wählen.",
                         "Folder selected. Choose the same path on all other Macs."));
        QVERIFY(!manager.isOnboardingComplete()); // nothing stored before "Get started →"
        QVERIFY(!fixture().harness().settings().contains(QStringLiteral("TandrillFolderPath")));
    }

    void stepTwoIgnoresInputUntilReached()
    {
        SyncManager &manager = fixture().startFresh();
        OnboardingView wizard(&manager, &fixture().loc());
        QVERIFY(showView(&wizard, QSize(OnboardingView::kWidth, OnboardingView::kHeight)));
        auto *choose = childNamed<QPushButton>(&wizard, "chooseFolderButton");
        QVERIFY(!choose->isEnabled());
        QTest::mouseClick(choose, Qt::LeftButton);
        QCOMPARE(fixture().harness().folderPicker().calls, 0);
        QCOMPARE(wizard.step(), 1);
    }

    void cancelledChooserKeepsTheFolder()
    {
        SyncManager &manager = fixture().startFresh();
        OnboardingView wizard(&manager, &fixture().loc());
        QVERIFY(showView(&wizard, QSize(OnboardingView::kWidth, OnboardingView::kHeight)));
        QTest::mouseClick(childNamed<QPushButton>(&wizard, "gotItButton"), Qt::LeftButton);
        auto *choose = childNamed<QPushButton>(&wizard, "chooseFolderButton");
        auto &answers = fixture().harness().folderPicker().answers;
        answers.push_back(homeFolder(QStringLiteral("A")));
        answers.push_back(std::nullopt);
        answers.push_back(homeFolder(QStringLiteral("B")));
        QTest::mouseClick(choose, Qt::LeftButton);
        QTest::mouseClick(choose, Qt::LeftButton);
        QCOMPARE(wizard.selectedURL(), std::optional(homeFolder(QStringLiteral("A"))));
        QVERIFY(childNamed<QPushButton>(&wizard, "getStartedButton")->isEnabled());
        QTest::mouseClick(choose, Qt::LeftButton);
        QCOMPARE(wizard.selectedURL(), std::optional(homeFolder(QStringLiteral("B"))));
    }

    void longPathsAreShortenedInTheMiddle()
    {
        SyncManager &manager = fixture().startFresh();
        OnboardingView wizard(&manager, &fixture().loc());
        QVERIFY(showView(&wizard, QSize(OnboardingView::kWidth, OnboardingView::kHeight)));
        QTest::mouseClick(childNamed<QPushButton>(&wizard, "gotItButton"), Qt::LeftButton);
        const QString deep =
            QStringLiteral("Projects/Tandrill/Shared/Very/Deep/Folder/Structure/Of/Many/Levels/Dock Sync");
        fixture().harness().folderPicker().answers.push_back(homeFolder(deep));
        QTest::mouseClick(childNamed<QPushButton>(&wizard, "chooseFolderButton"), Qt::LeftButton);
        QCoreApplication::processEvents();
        const QString shown = childNamed<PathDisplay>(&wizard, "pathDisplay")->displayedText();
        QVERIFY2(shown.contains(QStringLiteral("…")), qPrintable(shown));
        QVERIFY(shown.startsWith(QStringLiteral("~/Library")));
        QVERIFY(shown.endsWith(QStringLiteral("Dock Sync")));
    }

    void languageSwitchKeepsStepAndFolder()
    {
        SyncManager &manager = fixture().startFresh();
        OnboardingView wizard(&manager, &fixture().loc());
        QVERIFY(showView(&wizard, QSize(OnboardingView::kWidth, OnboardingView::kHeight)));
        QTest::mouseClick(childNamed<QPushButton>(&wizard, "gotItButton"), Qt::LeftButton);
        fixture().harness().folderPicker().answers.push_back(homeFolder(QStringLiteral("Dock")));
        QTest::mouseClick(childNamed<QPushButton>(&wizard, "chooseFolderButton"), Qt::LeftButton);

        auto *language = childNamed<LanguageButton>(&wizard, "languageButton");
        QCOMPARE(language->text(), QStringLiteral("\U0001F1EC\U0001F1E7"));
        QCOMPARE(language->toolTip(), QStringLiteral("Switch to English"));
        QTest::mouseClick(language, Qt::LeftButton);
        QCOMPARE(fixture().loc().lang(), QStringLiteral("en"));
        QCOMPARE(language->text(), QStringLiteral("\U0001F1E9\U0001F1EA"));
        QCOMPARE(language->toolTip(), QStringLiteral("Auf Deutsch wechseln"));
        QCOMPARE(childNamed<QLabel>(&wizard, "welcomeTitle")->text(), QStringLiteral("Welcome to Tandrill"));
        QCOMPARE(childNamed<StepRow>(&wizard, "stepRow2")->title(), QStringLiteral("Choose sync folder"));
        QCOMPARE(childNamed<QPushButton>(&wizard, "getStartedButton")->text(), QStringLiteral("Get started →"));
        QCOMPARE(wizard.step(), 2);
        QCOMPARE(wizard.selectedURL(), std::optional(homeFolder(QStringLiteral("Dock"))));
        QVERIFY(childNamed<QPushButton>(&wizard, "getStartedButton")->isEnabled());
        QCOMPARE(childNamed<PathDisplay>(&wizard, "pathDisplay")->text(),
                 QStringLiteral("~/Library/Mobile Documents/com~apple~CloudDocs/Dock"));
    }

    void getStartedCompletesTheSetUp()
    {
        SyncManager &manager = fixture().startFresh();
        ContentView content(&manager, &fixture().loc(), QString());
        QVERIFY(showView(&content, QSize(600, 800)));
        auto *wizard = content.findChild<OnboardingView *>();
        QVERIFY(wizard);
        QTest::mouseClick(childNamed<QPushButton>(wizard, "gotItButton"), Qt::LeftButton);
        const QString folder = homeFolder(QStringLiteral("Dock Sync"));
        fixture().harness().folderPicker().answers.push_back(folder);
        QTest::mouseClick(childNamed<QPushButton>(wizard, "chooseFolderButton"), Qt::LeftButton);
        QTest::mouseClick(childNamed<QPushButton>(wizard, "getStartedButton"), Qt::LeftButton);
        fixture().settle();

        QVERIFY(manager.isOnboardingComplete());
        QCOMPARE(manager.syncFolderPath(), folder);
        QVERIFY(QFileInfo(folder).isDir());
        QTRY_VERIFY(!content.findChild<OnboardingView *>());
        auto *tabs = content.findChild<QTabWidget *>();
        QVERIFY(tabs);
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(qobject_cast<DashboardTab *>(tabs->currentWidget()));
    }
};

TANDRILL_TEST_MAIN_IMPL(TestOnboardingView, QApplication)
#include "tst_onboardingview.moc"
