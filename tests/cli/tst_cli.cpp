#include "CliRunner.h"
#include "TestCommon.h"
#include "TestDock.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace TestFiles;

// tandrill-cli as scripts use it: exit codes, exactly one JSON value on stdout, and a pull that
// ends the Dock process.
class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;

    QString folder() const { return m_root->path() + u"/Dock Sync"_s; }
    QString file(const char *name) const { return folder() + u'/' + QLatin1String(name); }
    CliOutput run(const QStringList &arguments, const SimulatedMac *mac = nullptr) const
    {
        return CliRunner(mac ? *mac : *m_mac)
            .run(QStringList{u"--folder"_s, folder(), u"--host"_s, (mac ? mac : m_mac.get())->hostname()} + arguments);
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_mac = std::make_unique<SimulatedMac>(u"Mac A"_s, folder(), m_root->path());
        m_mac->writeDock("dock of A", 1741356309.25);
    }

    void commands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        const auto add = [](const char *command, const char *scenario, int exitCode, const char *result) {
            QTest::addRow("%s %s", command, scenario) << QString::fromLatin1(command) << QString::fromLatin1(scenario)
                                                      << exitCode << QString::fromLatin1(result);
        };
        add("sync", "unknown command", 2, "");
        add("push", "", 0, "pushed");
        add("push", "no Dock", 1, "error");
        add("pull", "", 1, "error");
        add("pull", "pushed by B", 0, "pulled");
        add("auto", "pushed by A", 0, "inSync");
        add("auto", "conflict", 3, "conflict");
        add("status", "", 0, "statusWritten");
        add("hosts", "pushed by A", 0, "");
        add("backups", "pushed by A", 0, "");
        add("diff", "", 0, "nothingShared");
        add("diff", "pushed by A", 0, "same");
        add("diff", "pushed by B", 0, "different");
        add("diff", "not a Dock", 1, "unavailable");
        add("diff", "another look", 0, "different");
        add("diff --keep-look", "another look", 0, "same");
        add("log", "pushed by A", 0, "");
    }
    void commands()
    {
        QFETCH(QString, command);
        QFETCH(QString, scenario);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        QVERIFY(QDir().mkpath(folder()));
        SimulatedMac b(u"Mac B"_s, folder(), m_root->path());
        if (scenario == u"no Dock"_s) {
            QVERIFY(QFile::remove(m_mac->dockPath()));
        } else if (scenario == u"pushed by B"_s) {
            b.writeDock("dock of B", 1741356400.5);
            QCOMPARE(b.run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario == u"pushed by A"_s) {
            QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario == u"conflict"_s) {
            writeBytes(file("tandrill-meta.txt"), "mtime=1741356300\nhost=Mac B");
            writeBytes(file("status-Mac_A.txt"), "hostname=Mac A\nlast_pulled=1741356200");
        } else if (scenario == u"another look"_s) {
            TestDock::Shape shape = TestDock::withApps({u"Notes"_s});
            shape.settings.insert(u"tilesize"_s, 36);
            m_mac->writeDock(TestDock::build(shape));
            shape.settings.insert(u"tilesize"_s, 64);
            b.writeDock(TestDock::build(shape));
            QCOMPARE(b.run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario == u"not a Dock"_s) {
            QVERIFY(place(file("com.apple.dock.plist"), scenario));
        }
        const QStringList before = entryNames(folder());
        const CliOutput plain = run(command.split(u' '));
        QCOMPARE(plain.exitCode, exitCode);
        if (exitCode == 2) { // a usage error does nothing and prints nothing on stdout
            QVERIFY(plain.out.isEmpty() && entryNames(folder()).isEmpty());
            return;
        }
        QCOMPARE(plain.err.isEmpty(), exitCode != 1); // a failure says why on stderr
        if (command == u"hosts"_s)
            QVERIFY(plain.out.startsWith("Mac A\t"));
        // Machine-readable: one JSON value on one line, nothing else.
        const CliOutput json = run(QStringList{u"--json"_s} + command.split(u' '));
        QCOMPARE(json.exitCode, exitCode);
        QCOMPARE(json.out.count('\n'), 1);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(json.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        if (!result.isEmpty())
            QCOMPARE(document.object().value(u"result"_s).toString(), result);
        else
            QVERIFY(!document.array().isEmpty());
        if (command.startsWith(u"diff"_s)) { // what a pull would change; writes nothing
            QCOMPARE(entryNames(folder()), before);
            if (scenario == u"pushed by B"_s) {
                QCOMPARE(document[u"appsAdded"_s].toArray(), QJsonArray{u"dock of B"_s});
                QCOMPARE(document[u"appsRemoved"_s].toArray(), QJsonArray{u"dock of A"_s});
            }
        }
    }

    void backupsAndRestore()
    {
        QCOMPARE(run({u"push"_s}).exitCode, 0);
        const QByteArray original = m_mac->dockBytes();
        const qint64 size = QFileInfo(m_mac->dockPath()).size();
        m_mac->writeDock("Notes", 2000);
        QCOMPARE(run({u"push"_s}).exitCode, 0);
        const QJsonArray backups = run({u"--json"_s, u"backups"_s}).json().array();
        QCOMPARE(backups.size(), 2);
        const QJsonObject oldest = backups.last().toObject(); // newest first
        const QString name = oldest[u"name"_s].toString();
        QCOMPARE(oldest[u"size"_s].toInteger(), size);
        for (const QString &bad : QStringList{u"nope.plist"_s, u"../Backups/"_s + name})
            QCOMPARE(run({u"restore"_s, bad}).exitCode, 1);
        QCOMPARE(m_mac->backups().size(), 2);
        const CliOutput restored = run({u"--json"_s, u"restore"_s, name});
        QCOMPARE(restored.exitCode, 0);
        QCOMPARE(restored.json()[u"result"_s].toString(), u"restored"_s);
        QCOMPARE(m_mac->dockBytes(), original);
        QCOMPARE(m_mac->backups().size(), 3);
        QCOMPARE(m_mac->backups().filter(u"_vor_restore"_s).size(), 1);
        // The restored Dock is a local change: the next automatic run shares it.
        QCOMPARE(run({u"--json"_s, u"auto"_s}).json()[u"result"_s].toString(), u"pushed"_s);
    }

    void pullEndsTheDockProcess()
    {
        // A stand-in whose process name is exactly "Dock".
        const QString standInPath = m_root->path() + u"/bin/Dock"_s;
        QVERIFY(QDir().mkpath(m_root->path() + u"/bin"_s));
        QVERIFY(QFile::copy(u"/bin/sleep"_s, standInPath));
        QProcess standIn;
        standIn.start(standInPath, {u"600"_s});
        QVERIFY(standIn.waitForStarted());
        SimulatedMac b(u"Mac B"_s, folder(), m_root->path());
        b.writeDock("dock of B", 1741356400.5);
        QCOMPARE(run({u"pull"_s}).exitCode, 1); // nothing to pull: the Dock stays
        QCOMPARE(run({u"push"_s}, &b).exitCode, 0);
        QCOMPARE(standIn.state(), QProcess::Running);
        QCOMPARE(run({u"pull"_s}).exitCode, 0);
        QVERIFY(standIn.waitForFinished(60000));
        QCOMPARE(standIn.exitStatus(), QProcess::CrashExit); // ended by a signal
        QCOMPARE(m_mac->dockBytes(), "dock of B"_ba);
    }
};

TANDRILL_TEST_CLASS(TestCli)
#include "tst_cli.moc"
