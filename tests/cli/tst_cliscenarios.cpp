#include "CliRunner.h"
#include "SafeFile.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

using namespace TestFiles;

// Several Macs, each a tandrill-cli process with its own home, sharing one folder.
class TestCliScenarios : public QObject {
    Q_OBJECT

    struct Mac {
        std::unique_ptr<SimulatedMac> simulated;
        std::unique_ptr<CliRunner> cli;
        QString hostname;
    };

    std::unique_ptr<QTemporaryDir> m_root;

    QString folder() const { return m_root->path() + QLatin1String("/Dock Sync"); }
    QString file(const char *name) const { return folder() + QLatin1Char('/') + QLatin1String(name); }

    Mac mac(const QString &hostname, const QByteArray &dock, double mtime)
    {
        Mac result;
        result.hostname = hostname;
        result.simulated = std::make_unique<SimulatedMac>(hostname, folder(), m_root->path());
        result.simulated->writeDock(dock, mtime);
        result.cli = std::make_unique<CliRunner>(*result.simulated);
        return result;
    }

    // The result name of one engine command, "exit N" appended when the status does not match it.
    static QString run(const Mac &mac, const QString &folder, const char *command)
    {
        const CliOutput output = mac.cli->run({QStringLiteral("--folder"), folder, QStringLiteral("--host"),
                                               mac.hostname, QStringLiteral("--json"), QLatin1String(command)});
        const QString result = output.json().object().value(QLatin1String("result")).toString();
        const int expected = result == QLatin1String("error") ? 1 : result == QLatin1String("conflict") ? 3 : 0;
        return output.exitCode == expected ? result
                                           : result + QLatin1String(" exit ") + QString::number(output.exitCode);
    }
    QString run(const Mac &m, const char *command) const { return run(m, folder(), command); }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
    }

    void twoMacsSettle()
    {
        const Mac a = mac(QStringLiteral("Mac A"), "dock of A", 1741356309.75);
        const Mac b = mac(QStringLiteral("Mac B"), "dock of B", 1741350000.25);

        QCOMPARE(run(a, "push"), QStringLiteral("pushed"));
        QCOMPARE(run(b, "auto"), QStringLiteral("pulled"));
        QCOMPARE(b.simulated->dockBytes(), QByteArray("dock of A"));
        QCOMPARE(b.simulated->dockMTime(), 1741356309.0);
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(run(a, "auto"), QStringLiteral("inSync"));
            QCOMPARE(run(b, "auto"), QStringLiteral("inSync"));
        }
        // Each Mac's backups are its own, taken before its push or pull.
        QCOMPARE(a.simulated->backups().size(), 1);
        QCOMPARE(b.simulated->backups().size(), 1);
        QVERIFY(b.simulated->backups().constFirst().endsWith(QLatin1String("_vor_pull.plist")));
        QCOMPARE(readBytes(b.simulated->backupsDirectory() + QLatin1Char('/') + b.simulated->backups().constFirst()),
                 QByteArray("dock of B"));
    }

    void threeMacsWithAConflict()
    {
        const Mac a = mac(QStringLiteral("Mac A"), "dock of A", 1000.25);
        const Mac b = mac(QStringLiteral("Mac B"), "dock of B", 900.5);
        const Mac c = mac(QStringLiteral("Mac C"), "dock of C", 800.5);
        QCOMPARE(run(a, "auto"), QStringLiteral("pushed"));
        QCOMPARE(run(b, "auto"), QStringLiteral("pulled"));
        QCOMPARE(run(c, "status"), QStringLiteral("statusWritten"));

        a.simulated->writeDock("dock of A, edited", 2000.5);
        QCOMPARE(run(a, "auto"), QStringLiteral("pushed"));
        b.simulated->writeDock("dock of B, edited", 2100.5);
        QCOMPARE(run(b, "auto"), QStringLiteral("conflict"));
        QVERIFY(QFileInfo::exists(file("conflict-Mac_B.txt")));

        QCOMPARE(run(b, "push"), QStringLiteral("pushed"));
        QVERIFY(!QFileInfo::exists(file("conflict-Mac_B.txt")));
        QCOMPARE(run(a, "auto"), QStringLiteral("pulled"));
        QCOMPARE(run(c, "auto"), QStringLiteral("pulled"));
        for (const Mac *each : {&a, &b, &c}) {
            QCOMPARE(run(*each, "auto"), QStringLiteral("inSync"));
            QCOMPARE(each->simulated->dockBytes(), QByteArray("dock of B, edited"));
        }

        const CliOutput hosts =
            c.cli->run({QStringLiteral("--folder"), folder(), QStringLiteral("--host"), QStringLiteral("Mac C"),
                        QStringLiteral("--json"), QStringLiteral("hosts")});
        QStringList names;
        for (const QJsonValue &host : hosts.json().array())
            names.append(host.toObject().value(QLatin1String("hostname")).toString());
        QCOMPARE(names, (QStringList{QStringLiteral("Mac C"), QStringLiteral("Mac A"), QStringLiteral("Mac B")}));

        const CliOutput log = a.cli->run({QStringLiteral("--folder"), folder(), QStringLiteral("log"),
                                          QStringLiteral("--json"), QStringLiteral("--limit"), QStringLiteral("1")});
        const QJsonObject newest = log.json().array().first().toObject();
        QCOMPARE(newest.value(QLatin1String("source")).toString(), QStringLiteral("Mac C"));
        QCOMPARE(newest.value(QLatin1String("message")).toString(), QStringLiteral("AUTO: Dock ist bereits synchron"));
    }

    void pullEndsTheDock()
    {
        // A stand-in whose process name is exactly "Dock".
        const QString standInPath = m_root->path() + QLatin1String("/bin/Dock");
        QVERIFY(QDir().mkpath(m_root->path() + QLatin1String("/bin")));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), standInPath));
        QProcess standIn;
        standIn.start(standInPath, {QStringLiteral("600")});
        QVERIFY(standIn.waitForStarted());

        const Mac a = mac(QStringLiteral("Mac A"), "dock of A", 1000.25);
        const Mac b = mac(QStringLiteral("Mac B"), "dock of B", 2000.25);
        QCOMPARE(run(a, "pull"), QStringLiteral("error")); // nothing to pull: the Dock stays
        writeBytes(file("com.apple.dock.plist"), {});
        QCOMPARE(run(a, "pull"), QStringLiteral("error")); // refused copy: the Dock stays
        QCOMPARE(run(b, "push"), QStringLiteral("pushed"));
        QVERIFY(!standIn.waitForFinished(1000));
        QCOMPARE(standIn.state(), QProcess::Running);

        QCOMPARE(run(a, "pull"), QStringLiteral("pulled"));
        QVERIFY(standIn.waitForFinished(60000));
        QCOMPARE(standIn.exitStatus(), QProcess::CrashExit); // ended by a signal
        QCOMPARE(a.simulated->dockBytes(), QByteArray("dock of B"));
    }
};

TANDRILL_TEST_MAIN(TestCliScenarios)
#include "tst_cliscenarios.moc"
