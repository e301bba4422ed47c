// Three simulated Macs whose sync folders are replicas kept by real Syncthing instances, told as
// stories. Whatever the service does, the Macs end with one Dock, and every change is that Dock or
// one it was built on, or the Mac that made it was shown a conflict: nothing is lost in silence.
#include "ChangeWatcher.h"
#include "CoordinatorHarness.h"
#include "MacGroup.h"
#include "Scheduler.h"
#include "SharedLog.h"
#include "SyncthingHub.h"

namespace {

// Offline/Online: the Mac's service stops or takes up exchanging files; On: it starts; Carry: the
// service brings every online Mac in step; Apart: (a check) the folder holds A's copy and B's meta.
enum class Action { Offline, Online, On, Edit, Auto, Carry, Apart };
struct Step {
    Action action;
    int mac = -1;
    Kind expected = Kind::Error;
};
using Steps = QList<Step>;

const QStringList kNames{u"Mac A"_s, u"Mac B"_s, u"Lab's Mac mini"_s};

QByteArray change(int index)
{
    return kNames[index].toUtf8() + "'s change";
}

} // namespace

class TestSyncthing : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SyncthingHub> m_hub; // one instance for each of the three Macs

private slots:
    void initTestCase()
    {
        if (SyncthingHub::executable().isEmpty())
            QSKIP("syncthing is not installed (scripts/deps.sh test installs it)");
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(TestEnvironment::root() + u"/syncthing-XXXXXX"_s);
        m_hub = std::make_unique<SyncthingHub>(m_dir->path());
        QVERIFY2(m_hub->start(int(kNames.size())), qPrintable(m_hub->lastError()));
    }
    void cleanup()
    {
        m_hub.reset(); // every instance ended before its home goes
        m_dir.reset();
    }

    void stories_data()
    {
        QTest::addColumn<QList<int>>("members"); // the Macs in sync with the group's Dock at the start
        QTest::addColumn<Steps>("steps");
        using enum Action;
        const int a = 0, b = 1, c = 2;
        const auto pushes = [](int mac) { return Step{Auto, mac, Kind::Pushed}; };
        const auto pulls = [](int mac) { return Step{Auto, mac, Kind::Pulled}; };
        // The promise itself, which today's Macs keep: one change reaches every Mac.
        QTest::newRow("one Mac's change") << QList<int>{a, b, c} << Steps{{Edit, b}, pushes(b)};
        // Both push before the service carries either push; it keeps the newer files (B's).
        QTest::newRow("concurrent pushes")
            << QList<int>{a, b, c}
            << Steps{{Offline, a}, {Offline, b}, {Edit, a}, {Edit, b}, pushes(a), pushes(b), {Online, a}, {Online, b}};
        // The laptop pushes offline; Mac A pushes later, and B takes it, before the laptop is back.
        QTest::newRow("offline laptop pushed, another Mac later")
            << QList<int>{a, b, c}
            << Steps{{Offline, c}, {Edit, c}, pushes(c), {Edit, a}, pushes(a), {Carry}, pulls(b), {Online, c}};
        // The new Mac's service is not running yet (not a member: stopped from the start), so its
        // folder is empty when it first runs: a first sync.
        QTest::newRow("new Mac before its folder arrived")
            << QList<int>{a, b} << Steps{{Edit, c}, pushes(c), {On, c}, {Carry}};
        // A's Dock was changed last but B pushed last: the service keeps A's copy (the newer file)
        // and B's meta file (written later).
        QTest::newRow("meta and copy from different pushes")
            << QList<int>{a, b, c} << Steps{{Offline, a}, {Offline, b}, {Edit, b},   {Edit, a}, pushes(a),
                                            pushes(b),    {Online, a},  {Online, b}, {Carry},   {Apart}};
    }
    void stories()
    {
        QFETCH(QList<int>, members);
        QFETCH(Steps, steps);
        SyncthingHub &hub = *m_hub;
        MacGroup group([&hub] { return hub.waitUntilInSync(); });
        for (int i = 0; i < hub.size(); ++i) {
            group.add(kNames[i], hub.replica(i), m_dir->path());
            if (!members.contains(i))
                hub.stop(i);
        }
        QVERIFY2(group.startInSync(members), qPrintable(hub.lastError() + u" / "_s + group.docks()));

        for (const Step &step : std::as_const(steps)) {
            if (step.action == Action::Edit) {
                group.edit(step.mac, change(step.mac));
            } else if (step.action == Action::Auto) {
                QCOMPARE(group.run(step.mac), step.expected);
            } else if (step.action == Action::Apart) {
                const QString folder = group.mac(2).syncFolder();
                const auto meta = SyncFormat::parseKeyValues(readBytes(folder + u'/' + SyncFormat::kMetaFileName));
                QCOMPARE(meta.value_or(SyncFormat::KeyValues()).value(u"host"_s), kNames[1]);
                QCOMPARE(readBytes(folder + u'/' + SyncFormat::kDockFileName), change(0));
            } else {
                QVERIFY2(step.action == Action::On      ? hub.restart(step.mac)
                         : step.action == Action::Carry ? hub.waitUntilInSync()
                                                        : hub.setPaused(step.mac, step.action == Action::Offline),
                         qPrintable(hub.lastError()));
            }
        }

        const bool settled = group.settle(6);
        const QStringList lost = group.silentlyLost();
        QVERIFY2(lost.isEmpty(),
                 qPrintable(u"lost without a conflict: "_s + lost.join(u", "_s) + u"; Docks: "_s + group.docks()));
        QVERIFY2(settled, qPrintable(hub.lastError() + u"; Docks: "_s + group.docks()));
        QVERIFY(group.quiet(2));
    }

    // The Macs as used. First, runs on all three at once for two minutes: every run's log line is in
    // the merged log, and the service made no conflict copy of a log file. Then each runs Tandrill
    // with background sync on, in real time: a change on one reaches the others without a button,
    // and afterwards they stay quiet.
    void macsAsUsed()
    {
        SyncthingHub &hub = *m_hub;
        std::vector<std::unique_ptr<CoordinatorHarness>> macs;
        for (int i = 0; i < hub.size(); ++i) {
            macs.push_back(std::make_unique<CoordinatorHarness>(kNames[i], m_dir->path()));
            macs.back()->storeSetUp(hub.replica(i));
            macs.back()->mac().dock().setRewritesOnRestart(true);
            macs.back()->mac().writeDock("the group's Dock", 1'700'000'000);
        }
        QList<int> runs(hub.size(), 0);
        const QDeadlineTimer twoMinutes(std::chrono::minutes(2));
        for (int turn = 0; !twoMinutes.hasExpired(); ++turn) {
            const int i = turn % hub.size();
            macs[size_t(i)]->mac().run(Mode::Status);
            ++runs[i];
            QTest::qWait(150);
        }
        QVERIFY2(hub.waitUntilInSync(), qPrintable(hub.lastError()));
        for (int i = 0; i < hub.size(); ++i) {
            QCOMPARE(QDir(hub.replica(i)).entryList({u"*sync-conflict*"_s}, QDir::Files), QStringList());
            QList<int> logged(hub.size(), 0);
            for (const LogEntry &entry : SharedLog::readMerged(hub.replica(i), 100'000))
                logged[int(kNames.indexOf(entry.source()))] += entry.message().startsWith(u"STATUS"_s) ? 1 : 0;
            QCOMPARE(logged, runs);
        }

        const std::unique_ptr<Scheduler> timers = createQtScheduler();
        const auto quiet = [&macs] {
            return std::none_of(macs.begin(), macs.end(), [](const auto &m) { return m->manager().hasPendingWork(); });
        };
        QCOMPARE(macs[0]->mac().run(Mode::Push), SyncEngine::Result::pushed());
        QVERIFY2(hub.waitUntilInSync(), qPrintable(hub.lastError()));
        for (auto &mac : macs) {
            mac->useScheduler(timers.get());
            mac->start().startDaemon();
        }
        QTRY_VERIFY_WITH_TIMEOUT(quiet() && std::all_of(macs.begin(), macs.end(),
                                                        [](const auto &m) { return m->manager().engineRuns() > 0; }),
                                 60'000);
        macs[1]->mac().writeDock("Mac B's change");
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(macs.begin(), macs.end(),
                                             [](const auto &m) { return m->mac().dockBytes() == "Mac B's change"; }),
                                 120'000);
        QTRY_VERIFY_WITH_TIMEOUT(quiet(), 60'000);
        QList<int> settled;
        for (const auto &mac : macs)
            settled.append(mac->manager().engineRuns());
        QTest::qWait(int(std::chrono::milliseconds(2 * ChangeWatcher::kLocalQuiet).count()));
        for (int i = 0; i < hub.size(); ++i)
            QCOMPARE(macs[size_t(i)]->manager().engineRuns(), settled[i]);
        for (const auto &mac : macs)
            QVERIFY(!mac->manager().conflictDetected());
    }
};

TANDRILL_TEST_CLASS(TestSyncthing)
#include "tst_syncthing.moc"
