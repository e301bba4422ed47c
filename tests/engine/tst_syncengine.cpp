#include "SafeFile.h"
#include "SimulatedMac.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <memory>

using namespace TestFiles;
using Kind = SyncEngine::Result::Kind;

namespace {

const QString kHost = QStringLiteral("Lab's MacBook Pro");
const QDateTime kStamp(QDate(2025, 3, 7), QTime(14, 5, 9));
const QByteArray kLocal("<plist>local dock</plist>");
const QByteArray kShared("<plist>shared dock</plist>");
const QByteArray
    kOldStatus("hostname=Lab's MacBook Pro\nlast_action=sync\nlast_time=2025-03-01 10:00:00\nlast_pulled=5");

} // namespace

// Push, pull and presence registration of one Mac, checked file by file.
class TestSyncEngine : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;

    QString folder() const { return m_root->path() + QLatin1String("/iCloud/Dock Sync"); }
    QString file(const char *name) const { return folder() + QLatin1Char('/') + QLatin1String(name); }
    QString sharedDock() const { return file("com.apple.dock.plist"); }
    QString meta() const { return file("tandrill-meta.txt"); }
    QString status() const { return file("status-Labs_MacBook_Pro.txt"); }
    QString conflict() const { return file("conflict-Labs_MacBook_Pro.txt"); }
    QStringList messages() const { return logMessages(file("tandrill.log")); }

    // Another Mac's push as this Mac finds it in the folder.
    void preparePulledState()
    {
        QVERIFY(QDir().mkpath(folder()));
        writeFile(sharedDock(), kShared, 1741356400.5);
        writeBytes(meta(), "mtime=1741356400\nhost=Other\nupdated=2025-03-07 14:06:40");
        writeBytes(status(), kOldStatus);
        writeBytes(conflict(), {});
        writeBytes(file("conflict-Other.txt"), {});
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_mac = std::make_unique<SimulatedMac>(kHost, folder(), m_root->path());
        m_mac->setNow(kStamp);
        m_mac->writeDock(kLocal, 1741356309.25);
    }

    void pushIntoNewFolder()
    {
        QVERIFY(!QFileInfo::exists(folder()));
        QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());

        QCOMPARE(entryNames(folder()),
                 (QStringList{QStringLiteral("com.apple.dock.plist"), QStringLiteral("status-Labs_MacBook_Pro.txt"),
                              QStringLiteral("tandrill-meta.txt"), QStringLiteral("tandrill.log")}));
        QCOMPARE(readBytes(sharedDock()), kLocal);
        QCOMPARE(SafeFile::modificationTime(sharedDock()), 1741356309.25);
        QCOMPARE(readBytes(meta()),
                 QByteArray("mtime=1741356309\nhost=Lab's MacBook Pro\nupdated=2025-03-07 14:05:09"));
        QCOMPARE(readBytes(status()), QByteArray("hostname=Lab's MacBook Pro\nlast_action=push\n"
                                                 "last_time=2025-03-07 14:05:09\nlast_pulled=1741356309"));
        QCOMPARE(readBytes(file("tandrill.log")),
                 QByteArray(
                     "[2025-03-07 14:05:09] [Lab's MacBook Pro] PUSH: Sende lokales Dock nach Dock Sync \xe2\x80\xa6\n"
                     "[2025-03-07 14:05:09] [Lab's MacBook Pro] PUSH: Erfolgreich hochgeladen\n"));
        QCOMPARE(m_mac->backups(), QStringList{QStringLiteral("com.apple.dock.20250307_140509.plist")});
        const QString backup = m_mac->backupsDirectory() + QLatin1String("/com.apple.dock.20250307_140509.plist");
        QCOMPARE(readBytes(backup), kLocal);
        QCOMPARE(SafeFile::modificationTime(backup), 1741356309.25);
        QCOMPARE(m_mac->notifier().bodies(), QStringList{QStringLiteral("Dock nach iCloud hochgeladen ✅")});
        QCOMPARE(m_mac->notifier().titles(), QStringList{QStringLiteral("Tandrill")});
        QCOMPARE(m_mac->dockRestarts(), 0);
        QCOMPARE(m_mac->dockBytes(), kLocal);
    }

    void pushRemovesOnlyOwnConflictMarker()
    {
        preparePulledState();
        QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        QVERIFY(!QFileInfo::exists(conflict()));
        QVERIFY(QFileInfo::exists(file("conflict-Other.txt")));
    }

    void folderNameInStartLines_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("Dock Sync") << QStringLiteral("Dock Sync");
        QTest::newRow("nested, trailing slash")
            << QStringLiteral("iCloud Drive/Tandrill/") << QStringLiteral("Tandrill");
        QTest::newRow("dots and emoji") << QStringLiteral("a/./b/../Sync ✅") << QStringLiteral("Sync ✅");
    }
    void folderNameInStartLines()
    {
        QFETCH(QString, relative);
        QFETCH(QString, name);
        const QString path = m_root->path() + QLatin1Char('/') + relative;
        QVERIFY(QDir().mkpath(path));
        SyncEngine engine(path, kHost, m_mac->services());
        engine.push();
        engine.pull();
        const QStringList lines = logMessages(path + QLatin1String("/tandrill.log"));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("PUSH: Sende lokales Dock nach ") + name + QStringLiteral(" …"));
        QCOMPARE(lines[2], QStringLiteral("PULL: Hole Dock-Konfiguration von ") + name + QStringLiteral(" …"));
    }

    void pushFails_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::newRow("no Dock file") << QStringLiteral("no Dock file");
        QTest::newRow("Dock file is a directory") << QStringLiteral("directory");
        QTest::newRow("Dock file is a FIFO") << QStringLiteral("FIFO");
        QTest::newRow("backups cannot be written") << QStringLiteral("backups blocked");
    }
    void pushFails()
    {
        QFETCH(QString, problem);
        preparePulledState();
        const QByteArray metaBefore = readBytes(meta());
        QVERIFY(QFile::remove(m_mac->dockPath()));
        if (problem == QLatin1String("directory"))
            QVERIFY(QDir().mkpath(m_mac->dockPath()));
        else if (problem == QLatin1String("FIFO"))
            QVERIFY(makeFifo(m_mac->dockPath()));
        else if (problem == QLatin1String("backups blocked")) {
            m_mac->writeDock(kLocal, 1741356309.25);
            QVERIFY(QDir().mkpath(QFileInfo(m_mac->backupsDirectory()).absolutePath()));
            writeBytes(m_mac->backupsDirectory(), "not a directory");
        }

        const SyncEngine::Result result = m_mac->run(SyncEngine::Mode::Push);

        QCOMPARE(result.kind(), Kind::Error);
        QVERIFY2(result.message().startsWith(QLatin1String("PUSH FEHLER: ")), qPrintable(result.message()));
        QVERIFY(result.message().size() > 13);
        QCOMPARE(messages(),
                 (QStringList{QStringLiteral("PUSH: Sende lokales Dock nach Dock Sync …"), result.message()}));
        QCOMPARE(m_mac->notifier().bodies(), QStringList{QStringLiteral("❌ Push fehlgeschlagen")});
        QCOMPARE(m_mac->notifier().titles(), QStringList{QStringLiteral("Tandrill")});
        QCOMPARE(readBytes(sharedDock()), kShared);
        QCOMPARE(readBytes(meta()), metaBefore);
        QCOMPARE(readBytes(status()), kOldStatus);
        QVERIFY(QFileInfo::exists(conflict()));
        QVERIFY(m_mac->backups().isEmpty());
    }

    void pushTwiceInOneSecond()
    {
        QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        QCOMPARE(m_mac->backups(), (QStringList{QStringLiteral("com.apple.dock.20250307_140509-2.plist"),
                                                QStringLiteral("com.apple.dock.20250307_140509.plist")}));
        QCOMPARE(messages().size(), 4);
    }

    void pullApplies()
    {
        preparePulledState();
        QCOMPARE(m_mac->run(SyncEngine::Mode::Pull), SyncEngine::Result::pulled());

        QCOMPARE(m_mac->dockBytes(), kShared);
        QCOMPARE(m_mac->dockMTime(), 1741356400.0); // the time the meta file records
        QCOMPARE(m_mac->dockRestarts(), 1);
        QCOMPARE(m_mac->backups(), QStringList{QStringLiteral("com.apple.dock.20250307_140509_vor_pull.plist")});
        const QString backup = m_mac->backupsDirectory() + QLatin1Char('/') + m_mac->backups().constFirst();
        QCOMPARE(readBytes(backup), kLocal);
        QCOMPARE(SafeFile::modificationTime(backup), 1741356309.25);
        QCOMPARE(readBytes(status()), QByteArray("hostname=Lab's MacBook Pro\nlast_action=pull\n"
                                                 "last_time=2025-03-07 14:05:09\nlast_pulled=1741356400"));
        QVERIFY(!QFileInfo::exists(conflict()));
        QVERIFY(QFileInfo::exists(file("conflict-Other.txt")));
        QCOMPARE(readBytes(meta()), QByteArray("mtime=1741356400\nhost=Other\nupdated=2025-03-07 14:06:40"));
        QCOMPARE(readBytes(sharedDock()), kShared);
        QCOMPARE(SafeFile::modificationTime(sharedDock()), 1741356400.5);
        QCOMPARE(messages(), (QStringList{QStringLiteral("PULL: Hole Dock-Konfiguration von Dock Sync …"),
                                          QStringLiteral("PULL: Dock aktualisiert und neu gestartet")}));
        QCOMPARE(m_mac->notifier().bodies(), QStringList{QStringLiteral("Dock von iCloud geladen ✅")});
        QCOMPARE(m_mac->notifier().titles(), QStringList{QStringLiteral("Tandrill")});
    }

    void pullAppliedTime_data()
    {
        QTest::addColumn<double>("sharedTime");
        QTest::addColumn<QByteArray>("metaContent");
        QTest::addColumn<double>("appliedTime");
        QTest::newRow("newer shared copy takes the recorded time")
            << 1741356999.5 << QByteArray("mtime=1741356400") << 1741356400.0;
        QTest::newRow("same second") << 1741356400.75 << QByteArray("mtime=1741356400") << 1741356400.0;
        QTest::newRow("older shared copy keeps its own")
            << 1741356399.5 << QByteArray("mtime=1741356400") << 1741356399.5;
        QTest::newRow("no meta file") << 1741356999.5 << QByteArray() << 1741356999.5;
        QTest::newRow("meta mtime zero") << 1741356999.5 << QByteArray("mtime=0") << 1741356999.5;
        QTest::newRow("meta mtime not a number") << 1741356999.5 << QByteArray("mtime=nan") << 1741356999.5;
        QTest::newRow("meta mtime with CR") << 1741356999.5 << QByteArray("mtime=1741356400\r\n") << 1741356999.5;
    }
    void pullAppliedTime()
    {
        QFETCH(double, sharedTime);
        QFETCH(QByteArray, metaContent);
        QFETCH(double, appliedTime);
        QVERIFY(QDir().mkpath(folder()));
        writeFile(sharedDock(), kShared, sharedTime);
        if (!metaContent.isNull())
            writeBytes(meta(), metaContent);
        QCOMPARE(m_mac->engine().pull(), SyncEngine::Result::pulled());
        QCOMPARE(m_mac->dockMTime(), appliedTime);
        QCOMPARE(SafeFile::modificationTime(sharedDock()), sharedTime);
    }

    void pullRefused_data()
    {
        QTest::addColumn<QString>("shared");
        QTest::addColumn<QString>("message"); // a prefix when it ends with ": "
        QTest::addColumn<QString>("logLine"); // the result message when empty
        QTest::addColumn<QString>("notification");
        const QString failed = QStringLiteral("PULL FEHLER: ");
        const QString failedBody = QStringLiteral("❌ Pull fehlgeschlagen");
        QTest::newRow("nothing to pull") << QStringLiteral("missing")
                                         << QStringLiteral("Keine gemeinsame Konfiguration vorhanden")
                                         << QStringLiteral("PULL: Keine Konfiguration in iCloud gefunden")
                                         << QStringLiteral("⚠️ Keine Dock-Konfiguration im Sync-Ordner gefunden");
        QTest::newRow("empty shared copy") << QStringLiteral("empty") << failed << QString() << failedBody;
        QTest::newRow("directory") << QStringLiteral("directory") << failed << QString() << failedBody;
        QTest::newRow("FIFO") << QStringLiteral("FIFO") << failed << QString() << failedBody;
        QTest::newRow("dangling symlink") << QStringLiteral("dangling") << failed << QString() << failedBody;
    }
    void pullRefused()
    {
        QFETCH(QString, shared);
        QFETCH(QString, message);
        QFETCH(QString, logLine);
        QFETCH(QString, notification);
        preparePulledState();
        QVERIFY(QFile::remove(sharedDock()));
        if (shared == QLatin1String("empty"))
            writeBytes(sharedDock(), {});
        else if (shared == QLatin1String("directory"))
            QVERIFY(QDir().mkpath(sharedDock()));
        else if (shared == QLatin1String("FIFO"))
            QVERIFY(makeFifo(sharedDock()));
        else if (shared == QLatin1String("dangling"))
            QVERIFY(QFile::link(file("gone.plist"), sharedDock()));

        const SyncEngine::Result result = m_mac->run(SyncEngine::Mode::Pull);

        QCOMPARE(result.kind(), Kind::Error);
        if (message.endsWith(QLatin1String(": ")))
            QVERIFY2(result.message().startsWith(message) && result.message().size() > message.size(),
                     qPrintable(result.message()));
        else
            QCOMPARE(result.message(), message);
        QCOMPARE(messages(), (QStringList{QStringLiteral("PULL: Hole Dock-Konfiguration von Dock Sync …"),
                                          logLine.isEmpty() ? result.message() : logLine}));
        QCOMPARE(m_mac->notifier().bodies(), QStringList{notification});
        QCOMPARE(m_mac->notifier().titles(), QStringList{QStringLiteral("Tandrill")});
        QCOMPARE(m_mac->dockBytes(), kLocal);
        QCOMPARE(m_mac->dockMTime(), 1741356309.25);
        QVERIFY(m_mac->backups().isEmpty());
        QCOMPARE(m_mac->dockRestarts(), 0);
        QCOMPARE(readBytes(status()), kOldStatus);
        QVERIFY(QFileInfo::exists(conflict()));
    }

    void pullFailsLocally_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::newRow("Dock file is a directory") << QStringLiteral("directory");
        QTest::newRow("Preferences is a file") << QStringLiteral("preferences file");
    }
    void pullFailsLocally()
    {
        QFETCH(QString, problem);
        preparePulledState();
        QVERIFY(QDir(m_mac->home() + QLatin1String("/Library/Preferences")).removeRecursively());
        if (problem == QLatin1String("directory"))
            QVERIFY(QDir().mkpath(m_mac->dockPath()));
        else
            writeBytes(m_mac->home() + QLatin1String("/Library/Preferences"), "not a directory");

        const SyncEngine::Result result = m_mac->run(SyncEngine::Mode::Pull);

        QCOMPARE(result.kind(), Kind::Error);
        QVERIFY2(result.message().startsWith(QLatin1String("PULL FEHLER: ")), qPrintable(result.message()));
        QCOMPARE(messages().constLast(), result.message());
        QCOMPARE(m_mac->notifier().bodies(), QStringList{QStringLiteral("❌ Pull fehlgeschlagen")});
        QCOMPARE(m_mac->dockRestarts(), 0);
        QCOMPARE(readBytes(status()), kOldStatus);
        QVERIFY(QFileInfo::exists(conflict()));
        QVERIFY(m_mac->backups().isEmpty());
    }

    void pullWithoutLocalDock()
    {
        preparePulledState();
        QVERIFY(QDir(m_mac->home() + QLatin1String("/Library")).removeRecursively());
        QCOMPARE(m_mac->run(SyncEngine::Mode::Pull), SyncEngine::Result::pulled());
        QCOMPARE(m_mac->dockBytes(), kShared);
        QVERIFY(m_mac->backups().isEmpty());
        QCOMPARE(m_mac->dockRestarts(), 1);
    }

    void pullTwiceInOneSecond()
    {
        preparePulledState();
        QCOMPARE(m_mac->run(SyncEngine::Mode::Pull), SyncEngine::Result::pulled());
        QCOMPARE(m_mac->run(SyncEngine::Mode::Pull), SyncEngine::Result::pulled());
        QCOMPARE(m_mac->backups(), (QStringList{QStringLiteral("com.apple.dock.20250307_140509_vor_pull-2.plist"),
                                                QStringLiteral("com.apple.dock.20250307_140509_vor_pull.plist")}));
        QCOMPARE(m_mac->dockRestarts(), 2);
    }

    void presenceRegistration()
    {
        preparePulledState();
        QVERIFY(QFile::remove(sharedDock()));
        writeBytes(status(), "hostname=Lab's MacBook Pro\nlast_action=pull\nlast_pulled=1741356300");

        QCOMPARE(m_mac->run(SyncEngine::Mode::Status), SyncEngine::Result::statusWritten());

        // Announcing presence agrees with nothing new: the recorded shared state stays.
        QCOMPARE(readBytes(status()), QByteArray("hostname=Lab's MacBook Pro\nlast_action=online\n"
                                                 "last_time=2025-03-07 14:05:09\nlast_pulled=1741356300"));
        QCOMPARE(messages(), QStringList{QStringLiteral("STATUS: Präsenz registriert")});
        QVERIFY(m_mac->notifier().bodies().isEmpty());
        QCOMPARE(readBytes(meta()), QByteArray("mtime=1741356400\nhost=Other\nupdated=2025-03-07 14:06:40"));
        QVERIFY(!QFileInfo::exists(sharedDock()));
        QVERIFY(QFileInfo::exists(conflict()));
        QCOMPARE(m_mac->dockBytes(), kLocal);
        QCOMPARE(m_mac->dockMTime(), 1741356309.25);
        QVERIFY(QFileInfo(m_mac->backupsDirectory()).isDir());
        QVERIFY(m_mac->backups().isEmpty());
        QCOMPARE(m_mac->dockRestarts(), 0);
    }

    void statusLastPulled_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("metaContent"); // no meta file when null
        QTest::addColumn<QByteArray>("recorded");    // no own status file when null
        QTest::addColumn<QByteArray>("lastPulled");
        const QString sync = QStringLiteral("sync");
        QTest::newRow("no meta file") << sync << QByteArray() << QByteArray("7") << QByteArray("0");
        QTest::newRow("fraction truncated")
            << sync << QByteArray("mtime=1741356400.75\nhost=Other") << QByteArray() << QByteArray("1741356400");
        QTest::newRow("negative toward zero") << sync << QByteArray("mtime=-5.5") << QByteArray() << QByteArray("-5");
        QTest::newRow("exponent") << sync << QByteArray("mtime=1.5e3") << QByteArray() << QByteArray("1500");
        QTest::newRow("nan written as 0") << sync << QByteArray("mtime=nan") << QByteArray() << QByteArray("0");
        QTest::newRow("inf written as 0") << sync << QByteArray("mtime=inf") << QByteArray() << QByteArray("0");
        QTest::newRow("beyond 64 bits written as 0")
            << sync << QByteArray("mtime=1e300") << QByteArray() << QByteArray("0");
        QTest::newRow("leading blank") << sync << QByteArray("mtime= 5") << QByteArray() << QByteArray("0");
        QTest::newRow("online keeps the recorded value") << QStringLiteral("online") << QByteArray("mtime=1741356999")
                                                         << QByteArray("1741356300.5") << QByteArray("1741356300");
        QTest::newRow("online without a record")
            << QStringLiteral("online") << QByteArray("mtime=1741356999") << QByteArray() << QByteArray("0");
    }
    void statusLastPulled()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, metaContent);
        QFETCH(QByteArray, recorded);
        QFETCH(QByteArray, lastPulled);
        QVERIFY(QDir().mkpath(folder()));
        if (!metaContent.isNull())
            writeBytes(meta(), metaContent);
        if (!recorded.isNull())
            writeBytes(status(), "hostname=Lab's MacBook Pro\nlast_pulled=" + recorded);

        m_mac->engine().writeStatus(action);

        const QByteArray head = "hostname=Lab's MacBook Pro\nlast_action=" + action.toUtf8() +
                                "\nlast_time=2025-03-07 14:05:09\nlast_pulled=";
        QCOMPARE(readBytes(status()), head + lastPulled);
    }

    void resultNames_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::newRow("error") << 0 << QStringLiteral("error");
        QTest::newRow("pushed") << 1 << QStringLiteral("pushed");
        QTest::newRow("pulled") << 2 << QStringLiteral("pulled");
        QTest::newRow("inSync") << 3 << QStringLiteral("inSync");
        QTest::newRow("conflict") << 4 << QStringLiteral("conflict");
        QTest::newRow("statusWritten") << 5 << QStringLiteral("statusWritten");
    }
    void resultNames()
    {
        QFETCH(int, index);
        QFETCH(QString, name);
        const SyncEngine::Result results[] = {SyncEngine::Result::error(QStringLiteral("x")),
                                              SyncEngine::Result::pushed(),
                                              SyncEngine::Result::pulled(),
                                              SyncEngine::Result::inSync(),
                                              SyncEngine::Result::conflict(),
                                              SyncEngine::Result::statusWritten()};
        const SyncEngine::Result &result = results[index];
        QCOMPARE(result.name(), name);
        QCOMPARE(result.message(), index == 0 ? QStringLiteral("x") : QString());
        for (int other = 0; other < 6; ++other)
            QCOMPARE(result == results[other], other == index);
    }
};

TANDRILL_TEST_MAIN(TestSyncEngine)
#include "tst_syncengine.moc"
