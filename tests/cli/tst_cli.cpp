#include "CliRunner.h"
#include "TestCommon.h"
#include "TestDock.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace TestFiles;

// tandrill-cli as scripts use it: exit codes, exactly one JSON value on stdout, and a pull that
// restarts the Dock.
class TestCli : public OneMacTest {
    Q_OBJECT

    CliOutput run(const QStringList &arguments, const SimulatedMac *mac = nullptr) const
    {
        return CliRunner(mac ? *mac : *m_mac)
            .run(QStringList{u"--folder"_s, folder(), u"--host"_s, (mac ? mac : m_mac.get())->hostname()} + arguments);
    }

private slots:
    void init()
    {
        makeMac();
        m_mac->writeDock("dock of A", 1741356309.25);
    }

    // The JSON contract scripts rely on: every object's keys with their types ("key:type", sorted).
    void commands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("keys");       // of the object, or of an array's first element
        QTest::addColumn<QByteArray>("german");  // in the plain output, the engine's German errors too
        QTest::addColumn<QByteArray>("english"); // none of it in German
        const auto add = [](const char *command, const char *scenario, int exitCode, const char *result,
                            const char *keys, const char *german = "", const char *english = "") {
            QTest::addRow("%s %s", command, scenario)
                << QString::fromLatin1(command) << QString::fromLatin1(scenario) << exitCode
                << QString::fromLatin1(result) << QString::fromLatin1(keys) << QByteArray(german)
                << QByteArray(english);
        };
        const char *outcome = "message:string notifications:array result:string";
        const char *failure = "message:string result:string";
        const char *difference = "appsAdded:array appsNotInstalled:array appsRemoved:array lookKeptLocal:array "
                                 "orderChanged:bool "
                                 "othersAdded:array othersRemoved:array result:string settingsChanged:array";
        const char *backup = "action:string name:string size:number taken:string";
        add("sync", "unknown command", 2, "", "");
        add("status", "empty host", 2, "", "");
        add("push", "", 0, "pushed", outcome, "hochgeladen", "uploaded");
        add("push", "no Dock", 1, "error", outcome);
        add("pull", "", 1, "error", outcome, "Keine gemeinsame", "No shared Dock");
        add("pull", "pushed by B", 0, "pulled", outcome, "von iCloud geladen", "loaded from iCloud");
        add("auto", "pushed by A", 0, "inSync", outcome);
        add("auto", "conflict", 3, "conflict", outcome);
        add("status", "", 0, "statusWritten", outcome, "eingetragen", "registered");
        add("hosts", "pushed by A", 0, "", "hostname:string isThisMac:bool lastAction:string lastTime:string",
            "dieser Mac", "this Mac");
        add("hosts", "folder gone", 1, "error", failure);
        add("backups", "pushed by A", 0, "", backup);
        add("backups", "pushed, no folder chosen", 0, "", backup);
        add("diff", "", 0, "nothingShared", difference);
        add("diff", "pushed by A", 0, "same", difference);
        add("diff", "pushed by B", 0, "different", difference);
        add("diff", "not a Dock", 1, "unavailable", failure);
        add("diff", "folder gone", 1, "error", failure);
        add("diff", "another look", 0, "different", difference);
        add("diff --keep-look", "another look", 0, "same", difference);
        add("log", "pushed by A", 0, "", "message:string raw:string source:string timestamp:string");
    }
    void commands()
    {
        QFETCH(QString, command);
        QFETCH(QString, scenario);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        QFETCH(QString, keys);
        QFETCH(QByteArray, german);
        QFETCH(QByteArray, english);
        SimulatedMac b(u"Mac B"_s, folder(), m_root->path());
        if (scenario == u"no Dock"_s) {
            QVERIFY(QFile::remove(m_mac->dockPath()));
        } else if (scenario == u"pushed by B"_s) {
            b.writeDock("dock of B", 1741356400.5);
            QCOMPARE(b.run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario.startsWith(u"pushed,"_s) || scenario == u"pushed by A"_s) {
            QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        } else if (scenario == u"conflict"_s) {
            writeBytes(file("tandrill-meta.txt"), "mtime=1741356300\nhost=Mac B");
            writeFile(file("com.apple.dock.plist"), "dock of B", 1741356300);
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
        } else if (scenario == u"folder gone"_s) {
            QVERIFY(QDir(folder()).removeRecursively());
        }
        const bool chosen = !scenario.endsWith(u"no folder chosen"_s); // neither --folder nor the app's setting
        const auto run = [&](const QStringList &arguments, bool inEnglish = false) {
            CliRunner runner(*m_mac); // LC_MESSAGES outranks LANG, LC_ALL both
            runner.withLanguage(inEnglish ? u"de_DE.UTF-8"_s : u"C"_s,
                                inEnglish ? u"LC_ALL=C"_s : u"LC_MESSAGES=de_DE.UTF-8"_s);
            const QStringList host{u"--host"_s, scenario == u"empty host"_s ? QString() : m_mac->hostname()};
            return runner.run((chosen ? QStringList{u"--folder"_s, folder()} + host : host) + arguments);
        };
        const QStringList before = entryNames(folder());
        const CliOutput plain = run(command.split(u' '));
        QCOMPARE(plain.exitCode, exitCode);
        if (exitCode == 2) { // a usage error does nothing and prints nothing on stdout
            QVERIFY(plain.out.isEmpty() && entryNames(folder()).isEmpty());
            return;
        }
        QCOMPARE(plain.err.isEmpty(), exitCode != 1); // a failure says why on stderr
        const QByteArray shownInGerman = plain.out + plain.err;
        QVERIFY2(shownInGerman.contains(german), shownInGerman.constData());
        QVERIFY(command != u"status"_s || plain.out.count('\n') == 1); // one line to say it
        const CliOutput inEnglish = english.isEmpty() ? CliOutput() : run(command.split(u' '), true);
        const QByteArray shown = inEnglish.out + inEnglish.err;
        QVERIFY2(english.isEmpty() || (shown.contains(english) && !shown.contains(german)), shown.constData());
        if (command == u"hosts"_s && exitCode == 0)
            QVERIFY(plain.out.startsWith("Mac A\t"));
        // Machine-readable: one JSON value on one line, nothing else.
        const CliOutput json = run(QStringList{u"--json"_s} + command.split(u' '));
        QCOMPARE(json.exitCode, exitCode);
        QCOMPARE(json.out.count('\n'), 1);
        if (!english.isEmpty() && command != u"push"_s) // the same in every language; a push does it again
            QCOMPARE(run(QStringList{u"--json"_s} + command.split(u' '), true).out, json.out);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(json.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        if (!result.isEmpty())
            QCOMPARE(document.object().value(u"result"_s).toString(), result);
        else
            QVERIFY(!document.array().isEmpty());
        static const QStringList types{u"null"_s, u"bool"_s, u"number"_s, u"string"_s, u"array"_s, u"object"_s};
        const QJsonObject object = document.isObject() ? document.object() : document.array().first().toObject();
        QStringList found;
        for (auto it = object.begin(); it != object.end(); ++it)
            found.append(it.key() + u':' + types.value(int(it.value().type())));
        QCOMPARE(found.join(u' '), keys);    // a QJsonObject keeps its keys sorted
        if (command.startsWith(u"diff"_s)) { // what a pull would change; writes nothing
            QCOMPARE(entryNames(folder()), before);
            if (scenario == u"pushed by B"_s) {
                QCOMPARE(document[u"appsAdded"_s].toArray(), QJsonArray{u"dock of B"_s});
                QCOMPARE(document[u"appsRemoved"_s].toArray(), QJsonArray{u"dock of A"_s});
            }
        }
    }

    // The Linux Dock (tandrill-dock) as a pull meets it: ended, it comes back as a new process and
    // rewrites its file with new bookkeeping. The pull waits for it; the rewrite is no change to share.
    void pullRestartsTheDock()
    {
#ifndef TANDRILL_DOCK_PATH
        QSKIP("a Mac's own Dock is not a test's to end");
#else
        const auto shape = [](const QString &app) {
            TestDock::Shape dock = TestDock::withApps({app});
            dock.settings.insert(u"mod-count"_s, 41);
            return TestDock::build(dock);
        };
        m_mac->writeDock(shape(u"Notes"_s), 1741356309);
        SimulatedMac b(u"Mac B"_s, folder(), m_root->path());
        b.writeDock(shape(u"Xcode"_s), 1741356400);
        QProcess launchd;
        launchd.start(QStringLiteral(TANDRILL_DOCK_PATH), {u"--file"_s, m_mac->dockPath()});
        QVERIFY(launchd.waitForStarted());
        const auto dock = [&launchd] {
            return readBytes(u"/proc/%1/task/%1/children"_s.arg(launchd.processId())).trimmed();
        };
        QTRY_VERIFY(!dock().isEmpty() && m_mac->dockBytes() != shape(u"Notes"_s)); // started, and wrote its file
        const QByteArray first = dock();
        QCOMPARE(run({u"pull"_s}).exitCode, 1); // nothing shared yet: the Dock keeps running
        QCOMPARE(dock(), first);
        QCOMPARE(run({u"push"_s}, &b).exitCode, 0);
        QCOMPARE(run({u"pull"_s}).exitCode, 0);
        QVERIFY(!dock().isEmpty() && dock() != first); // the pull ended when the new Dock was up
        QTRY_VERIFY(m_mac->dockMTime() > double(QDateTime::currentSecsSinceEpoch() - 3600)); // written anew
        QVERIFY(*DockLayout::parse(m_mac->dockBytes()) == *DockLayout::parse(shape(u"Xcode"_s)));
        const QByteArray shared = readBytes(file("com.apple.dock.plist"));
        QCOMPARE(run({u"--json"_s, u"auto"_s}).json()[u"result"_s].toString(), u"inSync"_s);
        QCOMPARE(readBytes(file("com.apple.dock.plist")), shared);
        launchd.terminate();
        QVERIFY(launchd.waitForFinished());
#endif
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
        const CliOutput restored = CliRunner(*m_mac).run({u"--json"_s, u"restore"_s, name}); // backups are local
        QCOMPARE(restored.exitCode, 0);
        QCOMPARE(restored.json()[u"result"_s].toString(), u"restored"_s);
        QCOMPARE(m_mac->dockBytes(), original);
        QCOMPARE(m_mac->backups().size(), 3);
        QCOMPARE(m_mac->backups().filter(u"_vor_restore"_s).size(), 1);
        // The restored Dock is a local change: the next automatic run shares it.
        QCOMPARE(run({u"--json"_s, u"auto"_s}).json()[u"result"_s].toString(), u"pushed"_s);
    }
};

TANDRILL_TEST_CLASS(TestCli)
#include "tst_cli.moc"
