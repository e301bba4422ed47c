// Two simulated Macs whose sync folders are separate replicas, kept in step by a real file-sync
// tool (Unison) between the steps, once keeping modification times and once not. (Every schedule
// of a simulated service is the model check's; a real service's stories are Syncthing's.)
#include "MacGroup.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

// Two Macs, each with its own replica of the sync folder, and Unison carrying changes
// between each replica and one hub, as a cloud drive does through its server: the newer file wins.
class Network : public MacGroup {
public:
    Network(const QString &root, bool keepTimes)
        : MacGroup([this] { return propagate(); }), m_hub(root + u"/hub"_s), m_keepTimes(keepTimes)
    {
        QDir().mkpath(m_hub);
        QDir().mkpath(root + u"/unison-state"_s);
        m_environment.insert(u"UNISON"_s, root + u"/unison-state"_s); // its archives, not in the home
        for (const QString &name : {u"Mac A"_s, u"Mac B"_s}) {
            QDir().mkpath(root + u"/replicas/"_s + name);
            add(name, root + u"/replicas/"_s + name, root);
        }
    }
    // Two-way sync of one replica with the hub; with paths, only those files travel. Contents are
    // compared, not size and time; a replica that lost every file syncs without a question.
    bool sync(int index, const QStringList &paths = {})
    {
        QStringList arguments{mac(index).syncFolder(), m_hub};
        arguments +=
            u"-batch -auto -silent -prefer newer -fastcheck false -confirmbigdel=false -log=false"_s.split(u' ');
        if (m_keepTimes)
            arguments.append(u"-times"_s);
        for (const QString &path : paths)
            arguments << u"-path"_s << path;
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStandardPaths::findExecutable(u"unison"_s), arguments);
        if (!process.waitForFinished(120000))
            process.kill();
        // 0: all done; 1: some files skipped. Anything above is a failure of the sync itself.
        if (process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() <= 1)
            return true;
        process.waitForFinished();
        qWarning("unison exit %d: %s", process.exitCode(), process.readAll().constData());
        return false;
    }
    // Every replica with the hub, twice, so that a change of any replica reaches all of them.
    bool propagate()
    {
        for (int pass = 0; pass < 4; ++pass) {
            if (!sync(pass % 2))
                return false;
        }
        return true;
    }

private:
    QString m_hub;
    bool m_keepTimes;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
};

} // namespace

class TestSyncService : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(u"unison"_s).isEmpty())
            QSKIP("unison is not installed (scripts/deps.sh test installs it)");
    }
    void init() { m_dir = std::make_unique<QTemporaryDir>(TestEnvironment::root() + u"/sync-XXXXXX"_s); }

    void partialArrival_data()
    {
        QTest::addColumn<bool>("keepTimes");
        QTest::addColumn<QString>("first");
        for (const bool keepTimes : {true, false}) {
            for (const QLatin1StringView first : {SyncFormat::kMetaFileName, SyncFormat::kDockFileName})
                QTest::addRow("%s, %s first", keepTimes ? "keeping times" : "not keeping times", first.data())
                    << keepTimes << QString(first);
        }
    }
    void partialArrival()
    {
        QFETCH(bool, keepTimes);
        QFETCH(QString, first);
        Network net(m_dir->path(), keepTimes);
        QVERIFY(net.startInSync({0, 1}));
        net.edit(0, "newest Dock");
        QCOMPARE(net.run(0), Kind::Pushed);
        // One of the two files reaches B; B syncs on what it has.
        QVERIFY(net.sync(0, {first}) && net.sync(1, {first}));
        // A meta file ahead of its copy makes B wait (an error naming the copy), never guess.
        const Kind early = net.run(1);
        QVERIFY(early != Kind::Conflict && early != Kind::Pushed);
        // The rest arrives: B must end with the newest Dock, and both settle.
        QVERIFY(net.settle(4));
        QVERIFY(net.quiet(3));
        QVERIFY(net.mac(1).dockBytes() == "newest Dock");
        QVERIFY2(net.silentlyLost().isEmpty() && !net.dockEverLost(), qPrintable(net.docks()));
    }
};

TANDRILL_TEST_CLASS(TestSyncService)
#include "tst_syncservice.moc"
