#include "CliRunner.h"
#include "TestMain.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TestFiles;

// tandrill-cli as scripts use it: exit codes, exactly one JSON value on stdout, and a pull that
// ends the Dock process.
class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;

    QString folder() const { return m_root->path() + QLatin1String("/Dock Sync"); }
    QString file(const char *name) const { return folder() + QLatin1Char('/') + QLatin1String(name); }
    CliOutput run(const QStringList &arguments, const SimulatedMac *mac = nullptr) const
    {
        return CliRunner(mac ? *mac : *m_mac)
            .run(QStringList{QStringLiteral("--folder"), folder(), QStringLiteral("--host"),
                             (mac ? mac : m_mac.get())->hostname()} +
                 arguments);
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_mac = std::make_unique<SimulatedMac>(QStringLiteral("Mac A"), folder(), m_root->path());
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
        add("log", "pushed by A", 0, "");
    }
    void commands()
    {
        QFETCH(QString, command);
        QFETCH(QString, scenario);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        QVERIFY(QDir().mkpath(folder()));
        SimulatedMac b(QStringLiteral("Mac B"), folder(), m_root->path());
        if (scenario == QLatin1String("no Dock")) {
            QVERIFY(QFile::remove(m_mac->dockPath()));
        } else if (scenario == QLatin1String("pushed by B")) {
            b.writeDock("dock of B", 1741356400.5);
            QCOMPARE(b.run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario == QLatin1String("pushed by A")) {
            QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario == QLatin1String("conflict")) {
            writeBytes(file("tandrill-meta.txt"), "mtime=1741356300\nhost=Mac B");
            writeBytes(file("status-Mac_A.txt"), "hostname=Mac A\nlast_pulled=1741356200");
        }
        const CliOutput plain = run({command});
        QCOMPARE(plain.exitCode, exitCode);
        if (exitCode == 2) { // a usage error does nothing and prints nothing on stdout
            QVERIFY(plain.out.isEmpty() && entryNames(folder()).isEmpty());
            return;
        }
        QCOMPARE(plain.err.isEmpty(), exitCode != 1); // a failure says why on stderr
        if (command == QLatin1String("hosts"))
            QVERIFY(plain.out.startsWith("Mac A\t"));
        // Machine-readable: one JSON value on one line, nothing else.
        const CliOutput json = run({QStringLiteral("--json"), command});
        QCOMPARE(json.exitCode, exitCode);
        QCOMPARE(json.out.count('\n'), 1);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(json.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        if (!result.isEmpty())
            QCOMPARE(document.object().value(QLatin1String("result")).toString(), result);
        else
            QVERIFY(!document.array().isEmpty());
    }

    void pullEndsTheDockProcess()
    {
        // A stand-in whose process name is exactly "Dock".
        const QString standInPath = m_root->path() + QLatin1String("/bin/Dock");
        QVERIFY(QDir().mkpath(m_root->path() + QLatin1String("/bin")));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), standInPath));
        QProcess standIn;
        standIn.start(standInPath, {QStringLiteral("600")});
        QVERIFY(standIn.waitForStarted());
        SimulatedMac b(QStringLiteral("Mac B"), folder(), m_root->path());
        b.writeDock("dock of B", 1741356400.5);
        QCOMPARE(run({QStringLiteral("pull")}).exitCode, 1); // nothing to pull: the Dock stays
        QCOMPARE(run({QStringLiteral("push")}, &b).exitCode, 0);
        QCOMPARE(standIn.state(), QProcess::Running);
        QCOMPARE(run({QStringLiteral("pull")}).exitCode, 0);
        QVERIFY(standIn.waitForFinished(60000));
        QCOMPARE(standIn.exitStatus(), QProcess::CrashExit); // ended by a signal
        QCOMPARE(m_mac->dockBytes(), QByteArray("dock of B"));
    }
};

TANDRILL_TEST_CLASS(TestCli)
#include "tst_cli.moc"
