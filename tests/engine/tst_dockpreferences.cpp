#include "TestCommon.h"
#include "TestDock.h"
#include "platform/DockPreferences.h"

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
class TestDockPreferences : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;
    std::unique_ptr<DockPreferences> m_preferences;
    int m_restarts = 0;

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
        m_root = std::make_unique<QTemporaryDir>();
        m_mac = std::make_unique<SimulatedMac>(u"Mac A"_s, m_root->path() + u"/sync"_s, m_root->path());
        m_mac->writeDock(dockWith(u"Safari"_s), 1000);
        m_restarts = 0;
        m_preferences = throughDefaults ? createDefaultsDockPreferences(installFakeDefaults(m_mac->home()),
                                                                        [this] { ++m_restarts; })
                                        : createFileDockPreferences(m_mac->dockPath());
        m_mac->setDockPreferences(m_preferences.get());
    }

    // Bytes the daemon refuses change nothing; a file takes any bytes.
    void applyAndReadBack_data()
    {
        QTest::addColumn<QByteArray>("applied");
        QTest::newRow("binary") << dockWith(u"Notes"_s);
        QTest::newRow("XML") << dockWith(u"Notes"_s, false);
        QTest::newRow("refused") << QByteArray();
    }
    void applyAndReadBack()
    {
        QFETCH(QByteArray, applied);
        QFETCH_GLOBAL(bool, throughDefaults);
        const QByteArray before = dockWith(u"Safari"_s);
        QCOMPARE(m_preferences->exportCurrent(), std::optional<QByteArray>(before));
        const bool refused = applied.isEmpty() && throughDefaults;
        QCOMPARE(m_preferences->import(applied).has_value(), refused);
        // Copied behind the daemon's back: it serves, and later writes back, what it holds.
        if (throughDefaults && !refused)
            writeBytes(m_mac->dockPath(), dockWith(u"Behind"_s));
        QCOMPARE(m_preferences->exportCurrent(), std::optional<QByteArray>(refused ? before : applied));
        m_preferences->exportCurrent();
        QCOMPARE(m_mac->dockBytes(), refused ? before : applied);
    }

    // A pull applies through the system: the pulled layout is what the system then serves.
    void pullAppliesThroughTheSystem()
    {
        SimulatedMac other(u"Mac B"_s, m_mac->syncFolder(), m_root->path());
        other.writeDock(dockWith(u"Xcode"_s), 2000);
        QCOMPARE(other.run(SyncEngine::Mode::Push).kind(), SyncEngine::Result::Kind::Pushed);
        QCOMPARE(m_mac->run(SyncEngine::Mode::Auto).kind(), SyncEngine::Result::Kind::Conflict);
        QCOMPARE(m_mac->run(SyncEngine::Mode::Pull).kind(), SyncEngine::Result::Kind::Pulled);
        const auto served = m_preferences->exportCurrent();
        QVERIFY(served);
        QVERIFY(DockLayout::parse(*served) == DockLayout::parse(dockWith(u"Xcode"_s)));
        QCOMPARE(m_mac->run(SyncEngine::Mode::Auto).kind(), SyncEngine::Result::Kind::InSync);
        QCOMPARE(m_mac->run(SyncEngine::Mode::Auto).kind(), SyncEngine::Result::Kind::InSync);
        QVERIFY(DockLayout::parse(m_mac->dockBytes()) == DockLayout::parse(*served));
    }
};

TANDRILL_TEST_CLASS(TestDockPreferences)
#include "tst_dockpreferences.moc"
