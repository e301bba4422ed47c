#include "CliRunner.h"
#include "TestDock.h"
#include "TestMain.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
QByteArray dockWith(const QStringList &apps)
{
    return TestDock::build(TestDock::withApps(apps));
}
QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list.append(item.toString());
    return list;
}
} // namespace

// diff, backups and restore of tandrill-cli.
class TestCliDock : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;

    QString folder() const { return m_root->path() + QLatin1String("/sync"); }
    CliOutput run(const QStringList &arguments) const
    {
        return CliRunner(*m_mac).run(QStringList{QStringLiteral("--folder"), folder(), QStringLiteral("--host"),
                                                 QStringLiteral("Mac A"), QStringLiteral("--json")} +
                                     arguments);
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_mac = std::make_unique<SimulatedMac>(QStringLiteral("Mac A"), folder(), m_root->path());
        m_mac->writeDock(dockWith({QStringLiteral("Safari"), QStringLiteral("Mail")}), 1000);
        QDir().mkpath(folder());
    }

    void diff_data()
    {
        QTest::addColumn<QByteArray>("shared"); // empty: no shared copy
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("appsAdded");
        QTest::newRow("nothing shared") << QByteArray() << QStringLiteral("nothingShared") << 0 << QStringList();
        QTest::newRow("same") << dockWith({QStringLiteral("Safari"), QStringLiteral("Mail")}) << QStringLiteral("same")
                              << 0 << QStringList();
        QTest::newRow("different") << dockWith({QStringLiteral("Mail"), QStringLiteral("Xcode")})
                                   << QStringLiteral("different") << 0 << QStringList{QStringLiteral("Xcode")};
        QTest::newRow("not a Dock") << QByteArray("<?xml version=\"1.0\"?><plist><array/></plist>")
                                    << QStringLiteral("unavailable") << 1 << QStringList();
    }
    void diff()
    {
        QFETCH(QByteArray, shared);
        QFETCH(QString, result);
        QFETCH(int, exitCode);
        QFETCH(QStringList, appsAdded);
        if (!shared.isEmpty())
            writeBytes(folder() + QLatin1String("/com.apple.dock.plist"), shared);
        const QStringList before = QDir(folder()).entryList(QDir::Files);
        const CliOutput output = run({QStringLiteral("diff")});
        QCOMPARE(output.exitCode, exitCode);
        const QJsonObject object = output.json().object();
        QCOMPARE(object.value(QStringLiteral("result")).toString(), result);
        QCOMPARE(strings(object.value(QStringLiteral("appsAdded"))), appsAdded);
        if (result == QLatin1String("different")) {
            QCOMPARE(strings(object.value(QStringLiteral("appsRemoved"))), QStringList{QStringLiteral("Safari")});
            QVERIFY(!object.value(QStringLiteral("orderChanged")).toBool());
        }
        QCOMPARE(QDir(folder()).entryList(QDir::Files), before); // no log line, no status
    }

    void backupsAndRestore()
    {
        QCOMPARE(run({QStringLiteral("push")}).exitCode, 0);
        const QByteArray original = m_mac->dockBytes();
        m_mac->writeDock(dockWith({QStringLiteral("Notes")}), 2000);
        QCOMPARE(run({QStringLiteral("push")}).exitCode, 0);
        const CliOutput listed = run({QStringLiteral("backups")});
        QCOMPARE(listed.exitCode, 0);
        const QJsonArray backups = listed.json().array();
        QCOMPARE(backups.size(), 2);
        const QJsonObject oldest = backups.last().toObject(); // newest first
        const QString name = oldest.value(QStringLiteral("name")).toString();
        QCOMPARE(oldest.value(QStringLiteral("size")).toInteger(), original.size());

        for (const QString &bad : QStringList{QStringLiteral("nope.plist"), QStringLiteral("../Backups/") + name}) {
            const CliOutput refused = run({QStringLiteral("restore"), bad});
            QCOMPARE(refused.exitCode, 1);
            QCOMPARE(m_mac->backups().size(), 2);
        }
        const CliOutput restored = run({QStringLiteral("restore"), name});
        QCOMPARE(restored.exitCode, 0);
        QCOMPARE(restored.json().object().value(QStringLiteral("result")).toString(), QStringLiteral("restored"));
        QCOMPARE(m_mac->dockBytes(), original);
        const QStringList after = m_mac->backups();
        QCOMPARE(after.size(), 3);
        QVERIFY(after.filter(QStringLiteral("_vor_restore")).size() == 1);
        // The restored Dock is a local change: the next automatic run shares it.
        QCOMPARE(run({QStringLiteral("auto")}).json().object().value(QStringLiteral("result")).toString(),
                 QStringLiteral("pushed"));
    }
};

TANDRILL_TEST_CLASS(TestCliDock)
#include "tst_clidock.moc"
