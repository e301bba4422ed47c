#include "HostInfo.h"
#include "SafeFile.h"
#include "SimulatedMac.h"
#include "TestDock.h"
#include "TestMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Mode = SyncEngine::Mode;
using Kind = SyncEngine::Result::Kind;

namespace {
QByteArray dockWith(const QStringList &apps, int generation = 1, bool binary = true)
{
    TestDock::Spec spec = TestDock::withApps(apps);
    spec.generation = generation;
    spec.binary = binary;
    return TestDock::build(spec);
}
} // namespace

// Decisions by what the Docks hold: a Dock that rewrites its own file, Macs joining, files the sync
// service has not delivered, files that are not Docks.
class TestDockContent : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::vector<std::unique_ptr<SimulatedMac>> m_macs;

    QString file(const QString &name) const { return m_root->path() + QLatin1String("/sync/") + name; }
    SimulatedMac &mac(const QByteArray &dock, double mtime)
    {
        auto &added = m_macs.emplace_back(std::make_unique<SimulatedMac>(
            QStringLiteral("Mac %1").arg(m_macs.size() + 1), m_root->path() + QLatin1String("/sync"), m_root->path()));
        added->dock().setRewritesOnRestart(true);
        added->writeDock(dock, mtime);
        return *added;
    }
    int activity() const
    {
        int sum = 0;
        for (const auto &m : m_macs)
            sum += m->dockRestarts() + int(m->backups().size());
        return sum;
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_macs.clear();
    }

    // After the Macs agree, further automatic rounds change nothing, although every restarted Dock
    // rewrote its file with a newer time.
    void convergence_data()
    {
        QTest::addColumn<int>("macs");
        QTest::addColumn<bool>("joinSame");
        QTest::addColumn<bool>("binary");
        QTest::newRow("two Macs, joining with another Dock") << 2 << false << true;
        QTest::newRow("four Macs, joining with the same Dock") << 4 << true << true;
        QTest::newRow("three Macs, XML files") << 3 << false << false;
    }
    void convergence()
    {
        QFETCH(int, macs);
        QFETCH(bool, joinSame);
        QFETCH(bool, binary);
        const QStringList shared{QStringLiteral("Safari"), QStringLiteral("Mail")};
        SimulatedMac &first = mac(dockWith(shared, 1, binary), 1000.5);
        QCOMPARE(first.run(Mode::Auto).kind(), Kind::Pushed);
        for (int i = 1; i < macs; ++i) {
            SimulatedMac &joining =
                mac(joinSame ? dockWith(shared, 10 + i, binary) : dockWith({QStringLiteral("Factory")}), 2000.5 + i);
            // A newer Dock of a Mac that never agreed with anyone is no reason to push it.
            QCOMPARE(joining.run(Mode::Auto).kind(), joinSame ? Kind::InSync : Kind::Conflict);
            if (!joinSame)
                QCOMPARE(joining.run(Mode::Pull).kind(), Kind::Pulled);
        }
        first.writeDock(dockWith({QStringLiteral("Safari"), QStringLiteral("Xcode")}, 3, binary), 5000.5);
        for (int round = 0; round < 2; ++round) {
            for (const auto &m : m_macs)
                QVERIFY(m->run(Mode::Auto).kind() != Kind::Error);
        }
        const int before = activity();
        const QByteArray meta = readBytes(file(QStringLiteral("tandrill-meta.txt")));
        for (int round = 0; round < 5; ++round) {
            for (const auto &m : m_macs)
                QCOMPARE(m->run(Mode::Auto).kind(), Kind::InSync);
        }
        QCOMPARE(activity(), before);
        QCOMPARE(readBytes(file(QStringLiteral("tandrill-meta.txt"))), meta);
        for (const auto &m : m_macs)
            QVERIFY(DockLayout::parse(m->dockBytes()) == DockLayout::parse(first.dockBytes()));
    }

    // The meta file arrived, the copy it records not yet: nothing is pulled or pushed until it is there.
    void metaNewerThanCopy()
    {
        SimulatedMac &a = mac(dockWith({QStringLiteral("Safari")}), 1000.5);
        SimulatedMac &b = mac(dockWith({QStringLiteral("Safari")}, 2), 900.5);
        QCOMPARE(a.run(Mode::Auto).kind(), Kind::Pushed);
        QCOMPARE(b.run(Mode::Auto).kind(), Kind::InSync);
        const QByteArray oldCopy = readBytes(file(QStringLiteral("com.apple.dock.plist")));
        a.writeDock(dockWith({QStringLiteral("Notes")}), 3000.5);
        QCOMPARE(a.run(Mode::Push).kind(), Kind::Pushed);
        const QByteArray newCopy = readBytes(file(QStringLiteral("com.apple.dock.plist")));
        writeBytes(file(QStringLiteral("com.apple.dock.plist")), oldCopy);
        SafeFile::setModificationTime(file(QStringLiteral("com.apple.dock.plist")), 1000);
        int pulls = 0;
        for (int round = 0; round < 3; ++round)
            pulls += b.run(Mode::Auto).kind() == Kind::Pulled;
        QVERIFY(pulls <= 1);
        QVERIFY(b.dockRestarts() <= 1);
        QVERIFY(readBytes(file(QStringLiteral("tandrill-meta.txt"))).contains("host=Mac 1"));
        writeBytes(file(QStringLiteral("com.apple.dock.plist")), newCopy);
        SafeFile::setModificationTime(file(QStringLiteral("com.apple.dock.plist")), 3000);
        QCOMPARE(b.run(Mode::Auto).kind(), Kind::Pulled);
        QVERIFY(DockLayout::parse(b.dockBytes()) == DockLayout::parse(newCopy));
        QCOMPARE(b.run(Mode::Auto).kind(), Kind::InSync);
    }

    // A shared file that is there but cannot be read now stops everything, named.
    void unavailable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("stub"); // else: not a regular file
        QTest::addColumn<int>("mode");
        QTest::newRow("meta evicted, auto") << QStringLiteral("tandrill-meta.txt") << true << int(Mode::Auto);
        QTest::newRow("copy evicted, auto") << QStringLiteral("com.apple.dock.plist") << true << int(Mode::Auto);
        QTest::newRow("copy evicted, pull") << QStringLiteral("com.apple.dock.plist") << true << int(Mode::Pull);
        QTest::newRow("meta not a file, pull") << QStringLiteral("tandrill-meta.txt") << false << int(Mode::Pull);
        QTest::newRow("own status evicted") << QStringLiteral("status-Mac_2.txt") << true << int(Mode::Auto);
    }
    void unavailable()
    {
        QFETCH(QString, name);
        QFETCH(bool, stub);
        QFETCH(int, mode);
        SimulatedMac &a = mac(dockWith({QStringLiteral("Safari")}), 1000.5);
        SimulatedMac &b = mac(dockWith({QStringLiteral("Safari")}, 2), 900.5);
        QCOMPARE(a.run(Mode::Auto).kind(), Kind::Pushed);
        QCOMPARE(b.run(Mode::Auto).kind(), Kind::InSync);
        b.writeDock(dockWith({QStringLiteral("Notes")}), 5000.5); // the next automatic run would push
        const QString path = file(name);
        if (stub)
            QVERIFY(QFile::rename(path, file(QLatin1Char('.') + name + QLatin1String(".icloud"))));
        else
            QVERIFY(QFile::remove(path) && QDir().mkdir(path));
        const QStringList folderBefore = QDir(file(QString())).entryList(QDir::Files | QDir::Hidden);
        const QByteArray copy = readBytes(file(QStringLiteral("com.apple.dock.plist")));

        const SyncEngine::Result result = b.run(Mode(mode));
        QCOMPARE(result.kind(), Kind::Error);
        QVERIFY2(result.message().contains(name + QStringLiteral(" ist noch nicht verfügbar")),
                 qPrintable(result.message()));
        QCOMPARE(b.backups().size(), 0);
        QCOMPARE(b.dockRestarts(), 0);
        QCOMPARE(readBytes(file(QStringLiteral("com.apple.dock.plist"))), copy);
        QCOMPARE(QDir(file(QString())).entryList(QDir::Files | QDir::Hidden), folderBefore);
        QVERIFY(DockLayout::parse(b.dockBytes()) == DockLayout::parse(dockWith({QStringLiteral("Notes")})));
    }

    // What is not a Dock, or is far too large for one, is neither shared nor applied.
    void refused_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray huge = dockWith({QStringLiteral("Safari")}) + QByteArray(16 * 1024 * 1024, ' ');
        QTest::newRow("push of text") << int(Mode::Push) << QByteArray("<html>not a Dock</html>");
        QTest::newRow("push over 16 MiB") << int(Mode::Push) << huge;
        QTest::newRow("pull of text") << int(Mode::Pull) << QByteArray("<html>not a Dock</html>");
        QTest::newRow("pull over 16 MiB") << int(Mode::Pull) << huge;
    }
    void refused()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, bytes);
        SimulatedMac &a = mac(dockWith({QStringLiteral("Safari")}), 1000.5);
        QCOMPARE(a.run(Mode::Push).kind(), Kind::Pushed);
        const QString target = mode == int(Mode::Push) ? a.dockPath() : file(QStringLiteral("com.apple.dock.plist"));
        QFile out(target);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size());
        out.close();
        const QByteArray meta = readBytes(file(QStringLiteral("tandrill-meta.txt")));
        const QByteArray copy = readBytes(file(QStringLiteral("com.apple.dock.plist")));
        const QByteArray local = a.dockBytes();
        a.advance(5);
        QCOMPARE(a.run(Mode(mode)).kind(), Kind::Error);
        QCOMPARE(a.backups().size(), 1);
        QCOMPARE(a.dockRestarts(), 0);
        QCOMPARE(readBytes(file(QStringLiteral("tandrill-meta.txt"))), meta);
        QCOMPARE(readBytes(file(QStringLiteral("com.apple.dock.plist"))), copy);
        QCOMPARE(a.dockBytes(), local);
    }

    void pullOfSameLayoutKeepsTheDockRunning()
    {
        SimulatedMac &a = mac(dockWith({QStringLiteral("Safari")}), 1000.5);
        SimulatedMac &b = mac(dockWith({QStringLiteral("Safari")}, 5, false), 900.5);
        QCOMPARE(a.run(Mode::Push).kind(), Kind::Pushed);
        QCOMPARE(b.run(Mode::Pull).kind(), Kind::Pulled);
        QCOMPARE(b.dockRestarts(), 0);
        QCOMPARE(b.dockBytes(), a.dockBytes());
        QCOMPARE(b.backups().size(), 1);
    }

    // Copies a sync service made when two Macs wrote at once are not Macs of their own.
    void serviceConflictCopies()
    {
        SimulatedMac &a = mac(dockWith({QStringLiteral("Safari")}), 1000.5);
        QCOMPARE(a.run(Mode::Status).kind(), Kind::StatusWritten);
        const QByteArray status = readBytes(file(QStringLiteral("status-Mac_1.txt")));
        for (const char *copy : {"status-Mac_1 2.txt", "status-Mac_1.sync-conflict-20261207-101010-ABCDEFG.txt"})
            writeBytes(file(QLatin1String(copy)), QByteArray(status).replace("Mac 1", "Ghost"));
        const auto hosts = readHostRegistry(file(QString()), a.hostname());
        QVERIFY(hosts);
        QCOMPARE(hosts->size(), 1);
        QCOMPARE(hosts->first().hostname, a.hostname());
    }
};

TANDRILL_TEST_CLASS(TestDockContent)
#include "tst_dockcontent.moc"
