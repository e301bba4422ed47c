#include "ContentView.h"
#include "CoordinatorHarness.h"
#include "HeaderView.h"
#include "LocalizationManager.h"
#include "MainView.h"
#include "OnboardingView.h"
#include "StateBadge.h"
#include "TestEnvironment.h"
#include "ViewStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {
QString labelText(const QWidget *root, const char *name)
{
    const auto *label = root->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

QColor labelColor(const QWidget *root, const char *name)
{
    const auto *label = root->findChild<QLabel *>(QLatin1String(name));
    return label ? label->palette().color(QPalette::WindowText) : QColor();
}
} // namespace

// The window content: header, badge, tabs, footer and the switch between wizard and main view.
class FrameViewsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void header_data();
    void header();
    void labelsArePlainText();
    void footer_data();
    void footer();
    void tabs();
    void contentFollowsOnboarding();

private:
    SyncManager &startCoordinator(bool setUp = true);

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<LocalizationManager> m_loc;
    std::unique_ptr<CoordinatorHarness> m_mac;
    QString m_folder;
};

void FrameViewsTest::init()
{
    m_root = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QStringLiteral("/window-XXXXXX"));
    m_settings = std::make_unique<QSettings>(m_root->filePath(QStringLiteral("app.ini")), QSettings::IniFormat);
    m_loc = std::make_unique<LocalizationManager>(m_settings.get());
    m_folder = m_root->filePath(QStringLiteral("iCloud/Tandrill"));
}

void FrameViewsTest::cleanup()
{
    m_mac.reset();
    m_loc.reset();
    m_settings.reset();
    m_root.reset();
}

SyncManager &FrameViewsTest::startCoordinator(bool setUp)
{
    m_mac = std::make_unique<CoordinatorHarness>(QStringLiteral("Studio"), m_root->path());
    if (setUp)
        m_mac->storeSetUp(m_folder);
    m_mac->mac().writeDock("dock", 1700000000);
    m_mac->start();
    m_mac->settle();
    return m_mac->manager();
}

void FrameViewsTest::header_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("conflict");
    QTest::addColumn<QString>("tagline");
    QTest::addColumn<QString>("stateLine");
    QTest::addColumn<bool>("stateGreen");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("flagTip");
    QTest::addColumn<int>("badge");
    QTest::addColumn<QString>("badgeText");
    QTest::addColumn<QString>("badgeTip");

    const QString british = QStringLiteral("\U0001F1EC\U0001F1E7");
    const QString german = QStringLiteral("\U0001F1E9\U0001F1EA");
    const QString taglineDe = QStringLiteral("Dein Dock. Auf allen Macs. Immer gleich.");
    const QString taglineEn = QStringLiteral("Your Dock. On all Macs. Always in sync.");
    const int active = static_cast<int>(StateBadge::State::Active);
    const int inactive = static_cast<int>(StateBadge::State::Inactive);
    const int conflict = static_cast<int>(StateBadge::State::Conflict);

    QTest::newRow("de stopped") << QStringLiteral("de") << false << false << taglineDe
                                << QStringLiteral("Synchronisation gestoppt") << false << british
                                << QStringLiteral("Switch to English") << inactive << QStringLiteral("Inaktiv")
                                << QStringLiteral("Automatischer Sync ist gestoppt – starte ihn im Dashboard");
    QTest::newRow("en stopped") << QStringLiteral("en") << false << false << taglineEn << QStringLiteral("Sync stopped")
                                << false << german << QStringLiteral("Auf Deutsch wechseln") << inactive
                                << QStringLiteral("Inactive")
                                << QStringLiteral("Auto sync is stopped – start it in the Dashboard");
    QTest::newRow("de running") << QStringLiteral("de") << true << false << taglineDe
                                << QStringLiteral("Automatische Synchronisation aktiv") << true << british
                                << QStringLiteral("Switch to English") << active << QStringLiteral("Aktiv")
                                << QStringLiteral("Automatischer Sync läuft im Hintergrund");
    QTest::newRow("en running") << QStringLiteral("en") << true << false << taglineEn
                                << QStringLiteral("Auto sync active") << true << german
                                << QStringLiteral("Auf Deutsch wechseln") << active << QStringLiteral("Active")
                                << QStringLiteral("Auto sync is running in the background");
    QTest::newRow("en conflict while running")
        << QStringLiteral("en") << true << true << taglineEn << QStringLiteral("Auto sync active") << true << german
        << QStringLiteral("Auf Deutsch wechseln") << conflict << QStringLiteral("Conflict")
        << QStringLiteral("Both sides modified the Dock. Choose Push or Pull manually.");
    QTest::newRow("de conflict while stopped")
        << QStringLiteral("de") << false << true << taglineDe << QStringLiteral("Synchronisation gestoppt") << false
        << british << QStringLiteral("Switch to English") << conflict << QStringLiteral("Konflikt")
        << QStringLiteral("Beide Seiten haben das Dock verändert. Wähle manuell Push oder Pull.");
    QTest::newRow("fr shows German, offers German")
        << QStringLiteral("fr") << false << false << taglineDe << QStringLiteral("Synchronisation gestoppt") << false
        << german << QStringLiteral("Auf Deutsch wechseln") << inactive << QStringLiteral("Inaktiv")
        << QStringLiteral("Automatischer Sync ist gestoppt – starte ihn im Dashboard");
}

void FrameViewsTest::header()
{
    QFETCH(QString, lang);
    QFETCH(bool, running);
    QFETCH(bool, conflict);
    QFETCH(QString, tagline);
    QFETCH(QString, stateLine);
    QFETCH(bool, stateGreen);
    QFETCH(QString, flag);
    QFETCH(QString, flagTip);
    QFETCH(int, badge);
    QFETCH(QString, badgeText);
    QFETCH(QString, badgeTip);

    SyncManager &manager = startCoordinator();
    HeaderView header(&manager, m_loc.get());
    // The header follows every change, so the state is set after it was built.
    m_loc->setLang(lang);
    if (running)
        manager.startDaemon();
    if (conflict) {
        writeBytes(manager.conflictFilePath(), "conflict");
        manager.refreshAll();
        m_mac->settle();
    }

    QCOMPARE(labelText(&header, "headerTitle"), QStringLiteral("Tandrill"));
    QCOMPARE(labelText(&header, "headerTagline"), tagline);
    QCOMPARE(labelText(&header, "syncStateLine"), stateLine);
    QCOMPARE(labelColor(&header, "syncStateLine"), stateGreen ? ViewStyle::green() : ViewStyle::orange());
    const auto *button = header.findChild<QAbstractButton *>(QStringLiteral("languageButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), flag);
    QCOMPARE(button->toolTip(), flagTip);
    const auto *stateBadge = header.findChild<StateBadge *>(QStringLiteral("stateBadge"));
    QVERIFY(stateBadge);
    QCOMPARE(static_cast<int>(stateBadge->state()), badge);
    QCOMPARE(stateBadge->text(), badgeText);
    QCOMPARE(stateBadge->toolTip(), badgeTip);
    QCOMPARE(labelColor(stateBadge, "badgeText"),
             badge == static_cast<int>(StateBadge::State::Active) ? ViewStyle::green() : ViewStyle::orange());
    const auto *icon = header.findChild<QLabel *>(QStringLiteral("headerIcon"));
    QVERIFY(icon);
    QCOMPARE(icon->size(), QSize(52, 52));
    QVERIFY(!icon->pixmap().isNull());
}

void FrameViewsTest::labelsArePlainText()
{
    SyncManager &manager = startCoordinator();
    MainView view(&manager, m_loc.get(), QStringLiteral("<b>2</b>"));
    QCOMPARE(labelText(&view, "versionFooter"), QStringLiteral("Tandrill  ·  Version <b>2</b>"));
    const QList<QLabel *> labels = view.findChild<HeaderView *>()->findChildren<QLabel *>();
    QVERIFY(labels.size() >= 4);
    for (const QLabel *label : labels)
        QVERIFY2(label->textFormat() == Qt::PlainText || label->text().isEmpty(), qPrintable(label->objectName()));
    QCOMPARE(view.findChild<QLabel *>(QStringLiteral("versionFooter"))->textFormat(), Qt::PlainText);
}

void FrameViewsTest::footer_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("version") << QStringLiteral("1.0.0") << QStringLiteral("Tandrill  ·  Version 1.0.0");
    QTest::newRow("no version") << QString() << QStringLiteral("Tandrill  ·  Version —");
}

void FrameViewsTest::footer()
{
    QFETCH(QString, version);
    QFETCH(QString, expected);
    SyncManager &manager = startCoordinator();
    for (const QString &lang : {QStringLiteral("de"), QStringLiteral("en")}) {
        m_loc->setLang(lang);
        MainView view(&manager, m_loc.get(), version);
        QCOMPARE(labelText(&view, "versionFooter"), expected);
        QCOMPARE(view.findChild<QLabel *>(QStringLiteral("versionFooter"))->font().pixelSize(), 11);
    }
}

void FrameViewsTest::tabs()
{
    SyncManager &manager = startCoordinator();
    MainView view(&manager, m_loc.get(), QStringLiteral("1.0.0"));
    auto *tabs = view.findChild<QTabWidget *>(QStringLiteral("mainTabs"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Dashboard"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Log"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Einstellungen"));
    m_loc->setLang(QStringLiteral("en"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Settings"));
    QCOMPARE(view.minimumSize(), QSize(520, 660));
}

void FrameViewsTest::contentFollowsOnboarding()
{
    SyncManager &manager = startCoordinator(false);
    ContentView content(&manager, m_loc.get(), QStringLiteral("1.0.0"));
    content.resize(600, 700);
    content.show();
    QVERIFY(qobject_cast<OnboardingView *>(content.currentView()));

    manager.completeSetup(m_folder);
    m_mac->settle();
    auto *main = qobject_cast<MainView *>(content.currentView());
    QVERIFY(main);
    auto *tabs = main->findChild<QTabWidget *>(QStringLiteral("mainTabs"));
    QCOMPARE(tabs->currentIndex(), 0);
    tabs->setCurrentIndex(2);

    manager.resetAllSettings();
    QVERIFY(qobject_cast<OnboardingView *>(content.currentView()));
    QTRY_VERIFY(content.findChildren<MainView *>().isEmpty());

    // Set up again: a new main view, on the Dashboard.
    manager.completeSetup(m_folder);
    m_mac->settle();
    main = qobject_cast<MainView *>(content.currentView());
    QVERIFY(main);
    QCOMPARE(main->findChild<QTabWidget *>(QStringLiteral("mainTabs"))->currentIndex(), 0);
    QVERIFY(content.currentView()->isVisible());
}

TANDRILL_TEST_MAIN_IMPL(FrameViewsTest, QApplication)
#include "tst_frameviews.moc"
