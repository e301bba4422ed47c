#include "CheckedDockPreferences.h"
#include "TestCommon.h"
#include "TestDock.h"
#include "platform/DockPreferences.h"
#include "platform/LoginItem.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

QByteArray dockWith(const QString &app, bool binary = true)
{
    TestDock::Shape shape = TestDock::withApps({app});
    shape.binary = binary;
    return TestDock::build(shape);
}

// A `defaults` for one home: the fake preferences daemon of tests/support.
QString installFakeDefaults(const QString &home)
{
    const QString tool = home + u"/defaults"_s;
    writeBytes(tool, "#!/bin/sh\nexec '" TANDRILL_FAKE_DEFAULTS "' '" + home.toUtf8() + "' \"$@\"\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return tool;
}

} // namespace

// Both ways of reading and applying the Dock's preferences behave alike: what was applied is
// what is read back, and what the system keeps in the end.
class TestDockPreferences : public OneMacTest {
    Q_OBJECT

    std::unique_ptr<DockPreferences> m_preferences;

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<bool>("throughDefaults");
        QTest::newRow("file") << false;
        QTest::newRow("defaults and a caching daemon") << true;
    }
    void init()
    {
        QFETCH_GLOBAL(bool, throughDefaults);
        makeMac();
        m_mac->writeDock(dockWith(u"Safari"_s), 1000);
        m_preferences = throughDefaults ? createDefaultsDockPreferences(installFakeDefaults(m_mac->home()), [] {})
                                        : createFileDockPreferences(m_mac->dockPath());
        m_mac->setDockPreferences(m_preferences.get());
    }

    // Bytes the daemon refuses change nothing; a file takes any bytes, unless the disk fails it.
    void applyAndReadBack_data()
    {
        QTest::addColumn<QByteArray>("applied");
        QTest::addColumn<bool>("diskFails"); // the file's rename into place
        QTest::newRow("binary") << dockWith(u"Notes"_s) << false;
        QTest::newRow("XML") << dockWith(u"Notes"_s, false) << false;
        QTest::newRow("refused") << QByteArray() << false;
        QTest::newRow("the disk fails") << dockWith(u"Notes"_s) << true;
    }
    void applyAndReadBack()
    {
        QFETCH(QByteArray, applied);
        QFETCH(bool, diskFails);
        QFETCH_GLOBAL(bool, throughDefaults);
        if (diskFails && throughDefaults)
            QSKIP("the daemon writes the file itself");
        const QByteArray before = dockWith(u"Safari"_s);
        QCOMPARE(m_preferences->exportCurrent(), std::optional<QByteArray>(before));
        SafeFile::setFaultInjector([diskFails](SafeFile::Step step, const QString &) {
            return diskFails && step == SafeFile::Step::Rename ? EIO : 0;
        });
        const auto healed = qScopeGuard([] { SafeFile::setFaultInjector({}); });
        const bool refused = (applied.isEmpty() && throughDefaults) || diskFails;
        QCOMPARE(m_preferences->import(applied).has_value(), refused);
        // Copied behind the daemon's back: it serves, and later writes back, what it holds; a push
        // shares what the system serves, not the file.
        if (throughDefaults && !refused)
            writeBytes(m_mac->dockPath(), dockWith(u"Behind"_s));
        SafeFile::setFaultInjector({});
        const QByteArray kept = refused ? before : applied;
        if (!kept.isEmpty()) {
            QCOMPARE(m_mac->run(SyncEngine::Mode::Push).kind(), Kind::Pushed);
            QCOMPARE(readBytes(m_mac->syncFolder() + u"/com.apple.dock.plist"_s), kept);
        }
        QCOMPARE(m_preferences->exportCurrent(), std::optional<QByteArray>(kept));
        m_preferences->exportCurrent();
        QCOMPARE(m_mac->dockBytes(), kept);
    }
};

// A pull is checked after the Dock's restart: a Dock that is not back, or back with another layout,
// makes it an error that leaves the backup and records no pull.
class TestCheckedApply : public QObject {
    Q_OBJECT

private slots:
    void pullIsCheckedAfterTheRestart_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error"); // empty: pulled
        const QString otherLayout = u"nicht die übernommene Konfiguration"_s;
        QTest::newRow("none") << u""_s << u""_s;
        QTest::newRow("no Dock ran, none to wait for") << u"no Dock"_s << u""_s;
        QTest::newRow("import refused") << u"refuse"_s << u"Could not write domain"_s;
        QTest::newRow("import merged") << u"merged"_s << otherLayout;
        QTest::newRow("old state written back late") << u"write back"_s << otherLayout;
        QTest::newRow("Dock not back") << u"not back"_s << u"nicht wieder gestartet (10 s gewartet)"_s;
    }
    void pullIsCheckedAfterTheRestart()
    {
        QFETCH(QString, fault);
        QFETCH(QString, error);
        QTemporaryDir root;
        SimulatedMac mac(u"Mac A"_s, root.path() + u"/sync"_s, root.path());
        SimulatedMac other(u"Mac B"_s, mac.syncFolder(), root.path());
        mac.writeDock(dockWith(u"Safari"_s), 1000);
        other.writeDock(dockWith(u"Xcode"_s), 2000);
        QCOMPARE(other.run(Mode::Push).kind(), Kind::Pushed);
        // The fake daemon refuses, or keeps the pulled apps and a profile's one (tests/support).
        const QString daemon = mac.home() + u"/.fake-preferences-daemon/com.apple.dock."_s;
        QVERIFY(QDir().mkpath(QFileInfo(daemon).path()));
        if (fault == u"refuse"_s || fault == u"merged"_s)
            writeBytes(daemon + fault, TestDock::build(TestDock::withApps({u"Xcode"_s, u"Managed"_s})));
        // The running Dock, gone after the restart, a new one three looks later; time is the sleeps.
        qint64 now = 0;
        int looks = 0;
        const auto docks = [&]() -> QList<qint64> {
            if (fault == u"no Dock"_s || (looks++ > 0 && (fault == u"not back"_s || looks < 4)))
                return {};
            return {looks == 1 ? 100 : 200};
        };
        const DockRestartWatch watch{docks, [&now] { return now; }, [&now](int ms) { now += ms; }};
        DockPreferences *daemonTool = nullptr;
        auto inner = createDefaultsDockPreferences(installFakeDefaults(mac.home()), [&] {
            if (fault == u"write back"_s) // the ending Dock writes what it showed into the daemon
                daemonTool->import(dockWith(u"Safari"_s));
        });
        daemonTool = inner.get();
        const auto checked = createCheckedDockPreferences(std::move(inner), watch);
        mac.setDockPreferences(checked.get());

        const SyncEngine::Result result = mac.run(Mode::Pull);
        QCOMPARE(result.kind(), error.isEmpty() ? Kind::Pulled : Kind::Error);
        QVERIFY2(result.message().contains(error), qPrintable(result.message()));
        QVERIFY(now <= 10'250); // bounded
        QVERIFY(!mac.backups().filter(u"_vor_pull"_s).isEmpty());
        const QString status = SyncFormat::hostFileName(SyncFormat::kStatusPrefix, mac.hostname());
        QCOMPARE(readBytes(mac.syncFolder() + u'/' + status).contains("last_action=pull"), error.isEmpty());
        // The pulled layout is what the system serves, and stays in sync though the daemon writes its
        // file late; a Dock that shows another layout is not taken for the shared one.
        for (int run = 0; run < 2 && fault != u"not back"_s; ++run)
            QCOMPARE(mac.run(Mode::Auto).kind() == Kind::InSync, error.isEmpty());
    }
};

// The login item as the desktop starts it: the entry's command is this program, marked as a
// login start (which keeps the window closed).
class TestLoginItem : public QObject {
    Q_OBJECT

private slots:
    void startsThisProgramAsALoginStart()
    {
        const auto item = createSystemLoginItem();
        QVERIFY(item->registerItem());
        QCOMPARE(item->status(), LoginItem::Status::Enabled);
        const QString entry =
            QString::fromUtf8(readBytes(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                        u"/autostart/tandrill.desktop"_s));
        const QStringList command = QProcess::splitCommand(entry.section(u"\nExec="_s, 1).section(u'\n', 0, 0));
        QCOMPARE(command.value(0), QCoreApplication::applicationFilePath());
        QCOMPARE(launchedAsLoginItem(command), std::optional<bool>(true));
        QCOMPARE(launchedAsLoginItem({command.value(0)}), std::optional<bool>(false));
        QVERIFY(item->unregisterItem());
        QCOMPARE(item->status(), LoginItem::Status::NotRegistered);
    }

    // On macOS the launch's Apple event tells, once it is known; the arguments always win.
    void loginStartOnAMac_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("event"); // -1: not known yet, 0: by the user, 1: at login
        QTest::addColumn<int>("atLogin");
        const QStringList plain{u"Tandrill"_s}, background{u"Tandrill"_s, u"--background"_s};
        QTest::newRow("not known yet") << plain << -1 << -1;
        QTest::newRow("by the user") << plain << 0 << 0;
        QTest::newRow("at login") << plain << 1 << 1;
        QTest::newRow("at login by the arguments") << background << 0 << 1;
    }
    void loginStartOnAMac()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, event);
        QFETCH(int, atLogin);
        const int code = event < 0 ? 0 : launchCode(event == 1); // kept across threads as the Mac does
        const std::optional<bool> start = loginStartFrom(arguments, launchFromCode(code));
        QCOMPARE(start.has_value() ? int(*start) : -1, atLogin);
    }
};

TANDRILL_TEST_CLASS(TestDockPreferences)
TANDRILL_TEST_CLASS(TestLoginItem)
TANDRILL_TEST_CLASS(TestCheckedApply)
#include "tst_dockpreferences.moc"
