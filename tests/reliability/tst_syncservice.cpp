// Two simulated Macs whose sync folders are separate replicas, kept in step by a real file-sync
// tool (Unison) between the steps, once keeping modification times and once not. (Every schedule
// of a simulated service is the model check's; a real service's stories are Syncthing's.)
#include "MacGroup.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

// Two-way sync of a Mac's replica of the sync folder with one hub, as a cloud drive syncs through its
// server: the newer file wins; with paths, only those travel. Contents are compared, not size and
// time; a replica that lost every file syncs without a question.
bool unison(const QString &root, const QString &replica, bool keepTimes, const QStringList &paths = {})
{
    QStringList arguments{replica, root + u"/hub"_s};
    arguments += u"-batch -auto -silent -prefer newer -fastcheck false -confirmbigdel=false -log=false"_s.split(u' ');
    if (keepTimes)
        arguments.append(u"-times"_s);
    for (const QString &path : paths)
        arguments << u"-path"_s << path;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"UNISON"_s, root + u"/unison-state"_s); // its archives, not in the home
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStandardPaths::findExecutable(u"unison"_s), arguments);
    // 0: all done; 1: some files skipped. Anything above is a failure of the sync itself.
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() <= 1)
        return true;
    qWarning("unison exit %d: %s", process.exitCode(), process.readAll().constData());
    return false; // one still running is ended by ~QProcess
}

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
        const QString root = m_dir->path();
        const QStringList replicas{root + u"/Mac A"_s, root + u"/Mac B"_s};
        // Every replica with the hub, twice, so that a change of any replica reaches all of them.
        MacGroup net([&] {
            for (int pass = 0; pass < 4; ++pass) {
                if (!unison(root, replicas[pass % 2], keepTimes))
                    return false;
            }
            return true;
        });
        for (const QString &replica : replicas) {
            QVERIFY(QDir().mkpath(replica));
            net.add(QFileInfo(replica).fileName(), replica, root);
        }
        QVERIFY(QDir().mkpath(root + u"/hub"_s) && QDir().mkpath(root + u"/unison-state"_s));
        QVERIFY(net.startInSync({0, 1}));
        net.edit(0, "newest Dock");
        QCOMPARE(net.run(0), Kind::Pushed);
        // One of the two files reaches B; B syncs on what it has.
        QVERIFY(unison(root, replicas[0], keepTimes, {first}) && unison(root, replicas[1], keepTimes, {first}));
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
