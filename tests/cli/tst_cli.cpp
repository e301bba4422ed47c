#include "CliRunner.h"
#include "SafeFile.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

using namespace TestFiles;

namespace {

const QString kPushed = QStringLiteral("Dock nach iCloud hochgeladen ✅");
const QString kPulled = QStringLiteral("Dock von iCloud geladen ✅");

QStringList keysOf(const QJsonValue &value)
{
    return value.toObject().keys();
}

} // namespace

// tandrill-cli's interface: arguments, output in both forms, exit status, reading of the folder.
class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;
    std::unique_ptr<CliRunner> m_cli;

    QString folder() const { return m_root->path() + QLatin1String("/Dock Sync"); }
    QString file(const char *name) const { return folder() + QLatin1Char('/') + QLatin1String(name); }
    CliOutput run(QStringList arguments) const
    {
        return m_cli->run(
            QStringList{QStringLiteral("--folder"), folder(), QStringLiteral("--host"), QStringLiteral("Mac A")} +
            arguments);
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_mac = std::make_unique<SimulatedMac>(QStringLiteral("Mac A"), folder(), m_root->path());
        m_mac->writeDock("dock of A", 1741356309.25);
        m_cli = std::make_unique<CliRunner>(*m_mac);
    }

    void helpAndVersion()
    {
        const CliOutput help = m_cli->run({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        for (const char *part :
             {"push | pull | auto | status | hosts | log", "--folder", "--host", "--json", "--limit"})
            QVERIFY2(help.out.contains(part), part);
        QVERIFY(help.err.isEmpty());

        const CliOutput version = m_cli->run({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QByteArray("tandrill-cli " TANDRILL_VERSION "\n"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList();
        QTest::newRow("unknown command") << QStringList{QStringLiteral("sync")};
        QTest::newRow("two commands") << QStringList{QStringLiteral("push"), QStringLiteral("pull")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--force"), QStringLiteral("push")};
        QTest::newRow("--limit without log") << QStringList{QStringLiteral("hosts"), QStringLiteral("--limit=3")};
        QTest::newRow("negative limit") << QStringList{QStringLiteral("log"), QStringLiteral("--limit"),
                                                       QStringLiteral("-1")};
        QTest::newRow("limit not a number")
            << QStringList{QStringLiteral("log"), QStringLiteral("--limit"), QStringLiteral("ten")};
        QTest::newRow("option without its value") << QStringList{QStringLiteral("push"), QStringLiteral("--host")};
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const CliOutput output = run(arguments);
        QCOMPARE(output.exitCode, 2);
        QVERIFY(output.out.isEmpty());
        QVERIFY2(output.err.startsWith("tandrill-cli: "), output.err.constData());
        QVERIFY(!QFileInfo::exists(folder())); // nothing was done
    }

    void noFolderAnywhere()
    {
        const CliOutput output =
            m_cli->run({QStringLiteral("--host"), QStringLiteral("Mac A"), QStringLiteral("push")});
        QCOMPARE(output.exitCode, 2);
        QVERIFY(output.out.isEmpty());
        QVERIFY2(output.err.contains("--folder"), output.err.constData());
        QVERIFY(m_mac->backups().isEmpty());
    }

    void folderFromAppSettings()
    {
        const QString appFolder = m_root->path() + QLatin1String("/iCloud Drive/Dock Sync ✅");
        m_cli->setAppFolder(appFolder);
        QVERIFY(QDir().mkpath(appFolder)); // the app's folder is never made by the tool
        QCOMPARE(m_cli->run({QStringLiteral("--host"), QStringLiteral("Mac A"), QStringLiteral("status")}).exitCode, 0);
        QVERIFY(QFileInfo::exists(appFolder + QLatin1String("/status-Mac_A.txt")));

        QCOMPARE(run({QStringLiteral("status")}).exitCode, 0); // --folder wins over the settings
        QVERIFY(QFileInfo::exists(file("status-Mac_A.txt")));
    }

    void engineCommands_data()
    {
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("message"); // a prefix when it ends with ": "
        QTest::addColumn<QStringList>("notifications");
        const auto add = [](const char *name, const char *command, const char *scenario, int exitCode,
                            const char *result, const QString &message, const QStringList &notifications) {
            for (const bool json : {false, true}) {
                QTest::addRow("%s, %s", name, json ? "json" : "plain")
                    << json << QString::fromLatin1(command) << QString::fromLatin1(scenario) << exitCode
                    << QString::fromLatin1(result) << message << notifications;
            }
        };
        add("push", "push", "", 0, "pushed", {}, {kPushed});
        add("push without Dock file", "push", "no Dock", 1, "error", QStringLiteral("PUSH FEHLER: "),
            {QStringLiteral("❌ Push fehlgeschlagen")});
        add("pull", "pull", "pushed by B", 0, "pulled", {}, {kPulled});
        add("pull with nothing to pull", "pull", "", 1, "error",
            QStringLiteral("Keine gemeinsame Konfiguration vorhanden"),
            {QStringLiteral("⚠️ Keine Dock-Konfiguration im Sync-Ordner gefunden")});
        add("pull of an empty copy", "pull", "empty copy", 1, "error", QStringLiteral("PULL FEHLER: "),
            {QStringLiteral("❌ Pull fehlgeschlagen")});
        add("auto, first time", "auto", "", 0, "pushed", {}, {kPushed});
        add("auto, in sync", "auto", "pushed by A", 0, "inSync", {}, {QStringLiteral("Dock bereits synchron ✅")});
        add("auto, conflict", "auto", "conflict", 3, "conflict", {},
            {QStringLiteral("⚠️ Konflikt erkannt — bitte Push oder Pull manuell wählen")});
        add("status", "status", "", 0, "statusWritten", {}, {});
    }
    void engineCommands()
    {
        QFETCH(bool, json);
        QFETCH(QString, command);
        QFETCH(QString, scenario);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        QFETCH(QString, message);
        QFETCH(QStringList, notifications);
        QVERIFY(QDir().mkpath(folder()));
        if (scenario == QLatin1String("no Dock")) {
            QVERIFY(QFile::remove(m_mac->dockPath()));
        } else if (scenario == QLatin1String("pushed by B")) {
            SimulatedMac b(QStringLiteral("Mac B"), folder(), m_root->path());
            b.writeDock("dock of B", 1741356400.5);
            QCOMPARE(b.run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario == QLatin1String("pushed by A")) {
            QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario == QLatin1String("empty copy")) {
            writeBytes(file("com.apple.dock.plist"), {});
        } else if (scenario == QLatin1String("conflict")) {
            writeBytes(file("tandrill-meta.txt"), "mtime=1741356300\nhost=Mac B");
            writeBytes(file("status-Mac_A.txt"), "hostname=Mac A\nlast_pulled=1741356200");
        }

        const CliOutput output = run(json ? QStringList{QStringLiteral("--json"), command} : QStringList{command});
        QCOMPARE(output.exitCode, exitCode);

        QString errorText;
        if (json) {
            QVERIFY(output.err.isEmpty());
            QVERIFY(output.out.endsWith('\n'));
            QCOMPARE(output.out.count('\n'), 1); // one JSON object, one line
            const QJsonObject object = output.json().object();
            QCOMPARE(object.keys(), (QStringList{QStringLiteral("message"), QStringLiteral("notifications"),
                                                 QStringLiteral("result")}));
            QCOMPARE(object.value(QLatin1String("result")).toString(), result);
            QCOMPARE(object.value(QLatin1String("notifications")).toVariant().toStringList(), notifications);
            errorText = object.value(QLatin1String("message")).toString();
        } else {
            QString expected;
            for (const QString &body : notifications)
                expected += body + QLatin1Char('\n');
            QCOMPARE(QString::fromUtf8(output.out), expected);
            QCOMPARE(output.err.endsWith('\n'), !output.err.isEmpty());
            errorText = QString::fromUtf8(output.err).chopped(output.err.isEmpty() ? 0 : 1);
        }
        if (message.endsWith(QLatin1String(": ")))
            QVERIFY2(errorText.startsWith(message) && errorText.size() > message.size(), qPrintable(errorText));
        else
            QCOMPARE(errorText, message);
    }

    void hosts()
    {
        QVERIFY(QDir().mkpath(folder()));
        writeBytes(file("status-alpha.txt"), "hostname=alpha\nlast_action=push");
        writeBytes(file("status-Mac_B.txt"), "hostname=Mac B\nlast_action=pull\nlast_time=2025-03-07 14:05:09");
        writeBytes(file("status-Mac_A.txt"), "hostname=Mac A\nlast_action=online\nlast_time=2025-03-07 14:06:00");
        writeBytes(file("status-notes.txt"), "no=host");

        const CliOutput plain = run({QStringLiteral("hosts")});
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(QString::fromUtf8(plain.out), QStringLiteral("Mac A\tonline\t2025-03-07 14:06:00\tthis Mac\n"
                                                              "Mac B\tpull\t2025-03-07 14:05:09\n"
                                                              "alpha\tpush\t—\n"));

        const CliOutput json = run({QStringLiteral("hosts"), QStringLiteral("--json")});
        QCOMPARE(json.exitCode, 0);
        const QJsonArray array = json.json().array();
        QCOMPARE(array.size(), 3);
        for (const QJsonValue &host : array)
            QCOMPARE(keysOf(host), (QStringList{QStringLiteral("hostname"), QStringLiteral("isThisMac"),
                                                QStringLiteral("lastAction"), QStringLiteral("lastTime")}));
        QCOMPARE(array[0].toObject().value(QLatin1String("isThisMac")), QJsonValue(true));
        QCOMPARE(array[1].toObject().value(QLatin1String("isThisMac")), QJsonValue(false));
        QCOMPARE(array[2].toObject().value(QLatin1String("hostname")).toString(), QStringLiteral("alpha"));
        QCOMPARE(array[2].toObject().value(QLatin1String("lastAction")).toString(), QStringLiteral("push"));
        QCOMPARE(array[2].toObject().value(QLatin1String("lastTime")).toString(), QStringLiteral("—"));

        const QString empty = m_root->path() + QLatin1String("/empty");
        QVERIFY(QDir().mkpath(empty));
        const CliOutput none =
            m_cli->run({QStringLiteral("--folder"), empty, QStringLiteral("--json"), QStringLiteral("hosts")});
        QCOMPARE(none.exitCode, 0);
        QCOMPARE(none.out, QByteArray("[]\n"));
    }

    void log_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("raws");
        const QString first = QStringLiteral("[2025-03-07 14:05:09] [Mac B] PUSH: Erfolgreich hochgeladen");
        const QString second = QStringLiteral("no brackets here");
        const QString third = QStringLiteral("[2025-03-07 14:06:00] [Mac A] AUTO: a] b");
        QTest::newRow("all, newest first") << QStringList() << QStringList{third, second, first};
        QTest::newRow("limited") << QStringList{QStringLiteral("--limit"), QStringLiteral("2")}
                                 << QStringList{third, second};
        QTest::newRow("limit 0") << QStringList{QStringLiteral("--limit=0")} << QStringList();
    }
    void log()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, raws);
        QVERIFY(QDir().mkpath(folder()));
        writeBytes(file("tandrill.log"), "[2025-03-07 14:05:09] [Mac B] PUSH: Erfolgreich hochgeladen\n\n"
                                         "no brackets here\n[2025-03-07 14:06:00] [Mac A] AUTO: a] b\n");

        const CliOutput plain = run(QStringList{QStringLiteral("log")} + arguments);
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(QString::fromUtf8(plain.out),
                 raws.isEmpty() ? QString() : raws.join(QLatin1Char('\n')) + QLatin1Char('\n'));

        const CliOutput json = run(QStringList{QStringLiteral("--json"), QStringLiteral("log")} + arguments);
        QCOMPARE(json.exitCode, 0);
        const QJsonArray array = json.json().array();
        QCOMPARE(array.size(), raws.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QJsonObject entry = array[i].toObject();
            QCOMPARE(entry.keys(), (QStringList{QStringLiteral("message"), QStringLiteral("raw"),
                                                QStringLiteral("source"), QStringLiteral("timestamp")}));
            QCOMPARE(entry.value(QLatin1String("raw")).toString(), raws[i]);
        }
        if (!array.isEmpty()) {
            const QJsonObject newest = array[0].toObject();
            QCOMPARE(newest.value(QLatin1String("timestamp")).toString(), QStringLiteral("2025-03-07 14:06:00"));
            QCOMPARE(newest.value(QLatin1String("source")).toString(), QStringLiteral("Mac A"));
            QCOMPARE(newest.value(QLatin1String("message")).toString(), QStringLiteral("AUTO: a] b"));
        }
    }

    void logWithoutFile()
    {
        QVERIFY(QDir().mkpath(folder()));
        const CliOutput json = run({QStringLiteral("log"), QStringLiteral("--json")});
        QCOMPARE(json.exitCode, 0);
        QCOMPARE(json.out, QByteArray("[]\n"));
    }
};

TANDRILL_TEST_MAIN(TestCli)
#include "tst_cli.moc"
