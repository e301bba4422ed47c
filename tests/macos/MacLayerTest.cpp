#include "BehaviorSection.h"
#include "CenterNotifier.h"
#include "StartPolicy.h"
#include "SymbolIcons.h"
#include "TestCommon.h"
#include "ToggleSwitch.h"
#include "TrayNotifier.h"
#include "ViewTestFixture.h"
#include "platform/AppBundle.h"
#include "platform/UserNotificationCenter.h"

#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QXmlStreamReader>

#include <thread>

// What the macOS layer decides in portable code, its bundle's property list, icons and settings.
class MacLayerTest : public QObject {
    Q_OBJECT

    int m_case = 0;

private slots:
    // A malformed property list leaves a bundle that macOS refuses to open.
    void infoPlistIsConfigured()
    {
        const QString text = QString::fromUtf8(readBytes(QStringLiteral(TANDRILL_INFO_PLIST)));
        QVERIFY2(!text.isEmpty() && !text.contains(u'@') && !text.contains(u"${"_s),
                 "a placeholder was left unconfigured");
        QXmlStreamReader xml(text);
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        const QRegularExpression version(u"<key>CFBundleShortVersionString</key>\\s*<string>([^<]*)</string>"_s);
        QCOMPARE(version.match(text).captured(1), QStringLiteral(TANDRILL_VERSION));
    }

    // The engine sends from its worker thread; Qt's tray item may only be used on the GUI thread.
    void workerSendsAreShownOnTheGuiThreadInOrder()
    {
        QStringList shown;
        TrayNotifier notifier([&shown](const QString &title, const QString &body) {
            QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
            shown.append(title + u':' + body);
        });
        std::thread([&notifier] {
            for (const QString &body : {u"one"_s, u"two"_s})
                notifier.send(body, u"Tandrill"_s);
        }).join();
        QTRY_COMPARE(shown, QStringList({u"Tandrill:one"_s, u"Tandrill:two"_s}));
    }

    // The views' symbols come from the app itself: no icon theme is installed on a Mac.
    void everySymbolDrawsFromResources()
    {
        const QString empty = TestEnvironment::root() + u"/no-icon-themes"_s;
        qputenv("XDG_DATA_DIRS", QFile::encodeName(empty));
        qputenv("XDG_DATA_HOME", QFile::encodeName(empty));
        QIcon::setThemeSearchPaths({});
        QIcon::setFallbackSearchPaths({});
        const QStringList symbols = SymbolIcons::symbols();
        QVERIFY(symbols.size() > 20);
        for (const QString &symbol : symbols) {
            QVERIFY2(SymbolIcons::iconFile(symbol).startsWith(u":/"_s), qPrintable(symbol));
            const QImage image = SymbolIcons::icon(symbol, Qt::black).pixmap(QSize(16, 16), 2.0).toImage();
            QVERIFY2(image.size() == QSize(32, 32), qPrintable(symbol));
            QImage blank(image.size(), image.format());
            blank.fill(Qt::transparent);
            QVERIFY2(image != blank, qPrintable(symbol)); // something was drawn
        }
        // One rendering is shared per symbol, size and colour.
        const QImage first = SymbolIcons::image(u"folder"_s, 18, Qt::blue, 1.0);
        QCOMPARE(SymbolIcons::image(u"folder"_s, 18, Qt::blue, 1.0).cacheKey(), first.cacheKey());
        QVERIFY(SymbolIcons::image(u"folder"_s, 18, Qt::red, 1.0).cacheKey() != first.cacheKey());
    }

    // Whether the program runs from a bundle, and from where, decides whether it can be a login item.
    void bundlePlace_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<BundlePlace>("place");
        const QString exe = u"/Tandrill.app/Contents/MacOS/Tandrill"_s;
        QTest::newRow("Applications") << u"/Applications"_s + exe << BundlePlace::InApplications;
        QTest::newRow("the user's Applications") << u"/Users/ann/Applications"_s + exe << BundlePlace::InApplications;
        QTest::newRow("named like it") << u"/ApplicationsOld"_s + exe << BundlePlace::OutsideApplications;
        QTest::newRow("translocated") << u"/private/var/folders/x/T/AppTranslocation/0A1B/d"_s + exe
                                      << BundlePlace::Translocated;
        QTest::newRow("path not yet clean")
            << u"/Applications/Tandrill.app/Contents/./MacOS//Tandrill"_s << BundlePlace::InApplications;
        QTest::newRow("bare binary") << u"/Applications/tandrill"_s << BundlePlace::NotABundle;
        QTest::newRow("folder named .app only") << u"/x/.app/Contents/MacOS/Tandrill"_s << BundlePlace::NotABundle;
        QTest::newRow("not an app folder") << u"/x/Tandrill/Contents/MacOS/Tandrill"_s << BundlePlace::NotABundle;
    }
    void bundlePlace()
    {
        QFETCH(QString, path);
        QFETCH(BundlePlace, place);
        QCOMPARE(::bundlePlace(path, u"/Users/ann"_s), place);
    }

    // A login start stays in the menu bar unless the wizard is due; opening the app again shows it.
    void startAndReopen_data()
    {
        using L = StartPolicy::Launch;
        using A = StartPolicy::Action;
        QTest::addColumn<bool>("setUp");
        QTest::addColumn<L>("launch");
        QTest::addColumn<A>("atStart");
        QTest::addColumn<bool>("windowVisible");
        QTest::addColumn<qint64>("reopenedAfterMs");
        QTest::addColumn<A>("onReopen");
        QTest::newRow("at login, not set up") << false << L::AtLogin << A::ShowWindow << true << 9000LL << A::Nothing;
        QTest::newRow("by the user, window closed, reopened")
            << true << L::ByUser << A::ShowWindow << false << 9000LL << A::ShowWindow;
        QTest::newRow("at login") << true << L::AtLogin << A::MenuBarOnly << false << 500LL << A::Nothing;
        QTest::newRow("at login, opened later")
            << true << L::AtLogin << A::MenuBarOnly << false << 9000LL << A::ShowWindow;
        QTest::newRow("not told, activated") << true << L::Unknown << A::MenuBarOnly << false << 500LL << A::ShowWindow;
    }
    void startAndReopen()
    {
        QFETCH(bool, setUp);
        QFETCH(StartPolicy::Launch, launch);
        QFETCH(StartPolicy::Action, atStart);
        QFETCH(bool, windowVisible);
        QFETCH(qint64, reopenedAfterMs);
        QFETCH(StartPolicy::Action, onReopen);
        QCOMPARE(StartPolicy::atStart(setUp, launch), atStart);
        QCOMPARE(StartPolicy::onActivated(windowVisible, launch, reopenedAfterMs), onReopen);
    }

    // The Behaviour section says why a login item cannot be or waits; notifications ask once, refused or not.
    void behaviourSection_data()
    {
        using A = LoginItem::Availability;
        QTest::addColumn<A>("availability");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<bool>("canOpen");
        QTest::addColumn<QString>("hint"); // after a click on the switch
        QTest::addColumn<bool>("notificationsAllowed");
        QTest::newRow("outside a bundle") << A::NotABundle << QString() << false << u"app bundle"_s << true;
        QTest::newRow("translocated") << A::Translocated << QString() << true << u"quarantined copy"_s << false;
        QTest::newRow("in Downloads") << A::OutsideApplications << QString() << true << u"Applications folder"_s
                                      << true;
        QTest::newRow("approval needed") << A::Available << QString() << true << u"Please confirm"_s << false;
        QTest::newRow("refused") << A::Available << u"Operation not permitted"_s << true
                                 << u"macOS refused the login item: Operation not permitted"_s << true;
    }
    void behaviourSection()
    {
        QFETCH(LoginItem::Availability, availability);
        QFETCH(QString, refusal);
        QFETCH(bool, canOpen);
        QFETCH(QString, hint);
        QFETCH(bool, notificationsAllowed);
        const bool available = availability == LoginItem::Availability::Available;
        ViewTestFixture mac(TestEnvironment::root() + u"/behaviour-"_s + QString::number(++m_case));
        FakeLoginItem &item = mac.harness().loginItem();
        item.m_availability = availability;
        item.m_canOpenSettings = canOpen;
        item.m_refusal = refusal;
        item.m_statusAfterRegister = LoginItem::Status::RequiresApproval;
        SyncManager &manager = mac.startSetUp();
        mac.loc().setLang(u"en"_s);
        BehaviorSection section(&manager, &mac.loc());
        QVERIFY(showView(&section, QSize(480, 300)));
        auto *toggle = childNamed<ToggleSwitch>(&section, "launchAtLoginSwitch");
        auto *open = childNamed<QPushButton>(&section, "openLoginItemsButton");
        auto *text = childNamed<QLabel>(&section, "approvalHintText");
        QCOMPARE(toggle->isEnabled(), available);
        QCOMPARE(text->isVisible(), !available); // the reason is there from the start
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(item.registerCalls, available ? 1 : 0);
        QCOMPARE(toggle->isChecked(), available && refusal.isEmpty());
        QVERIFY2(text->isVisible() && text->text().contains(hint), qPrintable(text->text()));
        QCOMPARE(open->isVisible(), available && canOpen);
        if (open->isVisible()) {
            QTest::mouseClick(open, Qt::LeftButton);
            QCOMPARE(item.settingsOpened, 1);
        }

        struct Centre final : UserNotificationCenter {
            bool granted = true;
            int asked = 0;
            QStringList posted;
            void requestAuthorization(std::function<void(bool, const QString &)> answer) override
            {
                ++asked;
                answer(granted, {});
            }
            void post(const QString &title, const QString &body) override { posted.append(title + u':' + body); }
        };
        auto owned = std::make_unique<Centre>();
        Centre &centre = *owned;
        centre.granted = notificationsAllowed;
        CenterNotifier notifier(std::move(owned), [&manager] { manager.setNotificationsRefused(true); });
        QCOMPARE(centre.asked, 0); // nothing asked before there is something to say
        notifier.send(u"one"_s, u"Tandrill"_s);
        notifier.send(u"two"_s, u"Tandrill"_s);
        QCOMPARE(centre.asked, 1);
        QCOMPARE(centre.posted, QStringList({u"Tandrill:one"_s, u"Tandrill:two"_s}));
        QCOMPARE(childNamed<QLabel>(&section, "notificationsOffHint")->isVisible(), !notificationsAllowed);
    }
};

TANDRILL_TEST_CLASS(MacLayerTest)
#include "MacLayerTest.moc"
