#include "BehaviorSection.h"
#include "SymbolIcons.h"
#include "TestCommon.h"
#include "ToggleSwitch.h"
#include "TrayNotifier.h"
#include "ViewTestFixture.h"
#include "platform/AppBundle.h"

#include <QFile>
#include <QIcon>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QXmlStreamReader>

#include <thread>

// What the macOS layer decides in portable code, its bundle's property list as configured, the
// icons it carries and the login item as the settings show it.
class MacLayerTest : public QObject {
    Q_OBJECT

    int m_case = 0;

private slots:
    void bundleExecutable_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("bundled");
        QTest::newRow("installed app") << "/Applications/Tandrill.app/Contents/MacOS/Tandrill" << true;
        QTest::newRow("path not yet clean") << "/Applications/Tandrill.app/Contents/./MacOS//Tandrill" << true;
        QTest::newRow("bare binary") << "/src/build/bin/tandrill" << false;
        QTest::newRow("folder named .app only") << "/x/.app/Contents/MacOS/Tandrill" << false;
        QTest::newRow("not an app folder") << "/x/Tandrill/Contents/MacOS/Tandrill" << false;
    }
    void bundleExecutable()
    {
        QFETCH(QString, path);
        QFETCH(bool, bundled);
        QCOMPARE(isAppBundleExecutable(path), bundled);
    }

    // A malformed property list leaves a bundle that macOS refuses to open.
    void infoPlistIsConfigured()
    {
        QFile file(QStringLiteral(TANDRILL_INFO_PLIST));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(!text.contains(u'@') && !text.contains(u"${"_s), "a placeholder was left unconfigured");
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
        std::thread worker([&notifier] {
            notifier.send(u"one"_s, u"Tandrill"_s);
            notifier.send(u"two"_s, u"Tandrill"_s);
        });
        worker.join();
        QCOMPARE(notifier.permissionRequests(), 1); // the first send asked, once
        QTRY_COMPARE(shown, QStringList({u"Tandrill:one"_s, u"Tandrill:two"_s}));
    }

    // The views' symbols come from the app itself: no icon theme is installed on a Mac.
    void everySymbolDrawsFromResources()
    {
        const QString empty = TestEnvironment::root() + u"/no-icon-themes"_s;
        QVERIFY(QDir().mkpath(empty));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(empty));
        qputenv("XDG_DATA_HOME", QFile::encodeName(empty));
        QIcon::setThemeSearchPaths({});
        QIcon::setFallbackSearchPaths({});
        const QStringList symbols = SymbolIcons::symbols();
        QVERIFY(symbols.size() > 20);
        for (const QString &symbol : symbols) {
            QVERIFY2(SymbolIcons::iconFile(symbol).startsWith(u":/"_s), qPrintable(symbol));
            const QImage image = SymbolIcons::image(symbol, 16, Qt::black, 2.0);
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

    // Disabled where the app cannot be a login item; while the system waits for the user's
    // approval, a way to the system settings where there is one.
    void loginItemSwitch_data()
    {
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("canOpen");
        QTest::newRow("outside a bundle") << false << false;
        QTest::newRow("macOS, approval needed") << true << true;
        QTest::newRow("no such settings") << true << false;
    }
    void loginItemSwitch()
    {
        QFETCH(bool, available);
        QFETCH(bool, canOpen);
        ViewTestFixture mac(TestEnvironment::root() + u"/login-"_s + QString::number(++m_case));
        FakeLoginItem &item = mac.harness().loginItem();
        item.m_available = available;
        item.m_canOpenSettings = canOpen;
        item.m_statusAfterRegister = LoginItem::Status::RequiresApproval;
        mac.startSetUp();
        BehaviorSection section(&mac.manager(), &mac.loc());
        QVERIFY(showView(&section, QSize(480, 240)));
        auto *toggle = childNamed<ToggleSwitch>(&section, "launchAtLoginSwitch");
        auto *open = childNamed<QPushButton>(&section, "openLoginItemsButton");
        QCOMPARE(toggle->isEnabled(), available);
        QVERIFY(!open->isVisible()); // nothing waits for approval yet
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(item.registerCalls, available ? 1 : 0);
        QCOMPARE(open->isVisible(), canOpen);
        if (canOpen) {
            QTest::mouseClick(open, Qt::LeftButton);
            QCOMPARE(item.settingsOpened, 1);
        }
    }
};

TANDRILL_TEST_CLASS(MacLayerTest)
#include "MacLayerTest.moc"
