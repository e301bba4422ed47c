// Macs with their own copies of the folder and a service that carries each write on its own, late, in
// any order, with or without its time, the newer winning where two cross. Every schedule of a small
// world and a sample of a bigger one: every change reaches every Mac or its Mac is asked; then quiet.
#include "TestCommon.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <map>
#include <ranges>
#include <set>

using namespace TestFiles;

namespace {

const QString kCopy = u"com.apple.dock.plist"_s;
const QString kMeta = u"tandrill-meta.txt"_s;

// One write on its way from one Mac's folder to another's.
struct Delivery {
    QString file;
    int to = 0;
    QByteArray bytes;
    double mtime = 0;
    quint64 version = 0;
};

// What the world remembers beside its files; copied whole with them.
struct Memory {
    QList<std::map<QString, quint64>> versions;                   // per Mac's folder: the version of each file
    QList<std::map<QString, std::pair<QByteArray, double>>> seen; // what the service last saw
    QList<Delivery> pending;
    std::map<QByteArray, QByteArray> parent; // each Dock the one it was made from
    struct Change {
        int mac;
        QByteArray dock;
        bool flagged = false; // its Mac flagged a conflict after making it
    };
    QList<Change> changes;
    QList<int> made, runs;
    quint64 clock = 0;
    double time = 1'750'000'000;
};

class World {
public:
    World(const QString &root, int macs, bool keepTimes) : m_keepTimes(keepTimes)
    {
        for (int i = 0; i < macs; ++i) {
            const QString folder = root + u"/folder-"_s + QString::number(i);
            QDir().mkpath(folder);
            m_macs.push_back(std::make_unique<SimulatedMac>(u"Mac "_s + QChar(u'A' + i), folder, root));
            m_macs.back()->dock().setRewritesOnRestart(true);
        }
        m.versions.resize(macs);
        m.seen.resize(macs);
        m.made.resize(macs);
        m.runs.resize(macs);
        for (int i = 0; i < macs; ++i) { // every Mac starts in sync on one Dock
            mac(i).writeDock("S0", m.time);
            QVERIFY(run(i).kind() != SyncEngine::Result::Kind::Error);
            deliverAll();
        }
        m.runs.fill(0);
    }

    int size() const { return int(m_macs.size()); }
    Memory m;

    void change(int i)
    {
        const QByteArray dock = QByteArray(1, char('A' + i)) + QByteArray::number(++m.made[i]);
        m.parent[dock] = mac(i).dockBytes();
        m.changes.push_back({i, dock});
        mac(i).writeDock(dock, m.time += 10);
    }

    SyncEngine::Result run(int i)
    {
        ++m.runs[i];
        const SyncEngine::Result result = mac(i).run(SyncEngine::Mode::Auto);
        if (result.kind() == SyncEngine::Result::Kind::Conflict) {
            for (auto &c : m.changes)
                c.flagged = c.flagged || c.mac == i;
        }
        // The service notices what this Mac wrote and sends it to every other Mac.
        for (const QString &file : {kCopy, kMeta}) {
            const QString path = folder(i) + u'/' + file;
            const std::pair now(readBytes(path), SafeFile::modificationTime(path).value_or(0));
            if (now == m.seen[i][file] || now.first.isEmpty())
                continue;
            m.seen[i][file] = now;
            m.versions[i][file] = ++m.clock;
            for (int j = 0; j < size(); ++j) {
                if (j != i)
                    m.pending.push_back({file, j, now.first, now.second, m.clock});
            }
        }
        return result;
    }

    void deliver(qsizetype index)
    {
        const Delivery d = m.pending.takeAt(index);
        // Two writes that crossed: the newer one stays, as iCloud Drive and Syncthing keep it.
        if (m.versions[d.to][d.file] > d.version)
            return;
        m.versions[d.to][d.file] = d.version;
        const QString path = folder(d.to) + u'/' + d.file;
        writeFile(path, d.bytes, m_keepTimes ? d.mtime : (m.time += 1));
        m.seen[d.to][d.file] = {d.bytes, SafeFile::modificationTime(path).value_or(0)};
    }

    void deliverAll()
    {
        while (!m.pending.isEmpty())
            deliver(0);
    }

    QByteArray dock(int i) const { return mac(i).dockBytes(); }

    // What decides a Mac's next steps, on disk: its status, its Dock, its folder's copy and meta file,
    // its conflict marker and its records. Backups and logs only grow; not taken back.
    QStringList decidingFiles(int i) const
    {
        const SyncEngine engine = mac(i).engine();
        const QDir data = QFileInfo(mac(i).backupsDirectory()).dir();
        QStringList files{engine.hostFileURL(SyncFormat::kStatusPrefix), mac(i).dockPath(), folder(i) + u'/' + kCopy,
                          folder(i) + u'/' + kMeta, engine.hostFileURL(SyncFormat::kConflictPrefix)};
        for (const QString &record : data.entryList({u"agreed-*"_s}, QDir::Files))
            files << data.filePath(record);
        return files;
    }
    // The same without the status file, which adds only times to what decides.
    QByteArray state(int i) const
    {
        QByteArray state;
        for (const QString &path : decidingFiles(i).sliced(1))
            state += QFileInfo::exists(path) ? QCryptographicHash::hash(readBytes(path), QCryptographicHash::Md5) : "-";
        return state;
    }
    bool inConflict(int i) const { return QFileInfo::exists(mac(i).engine().hostFileURL(SyncFormat::kConflictPrefix)); }

    bool contains(QByteArray dock, const QByteArray &change) const
    {
        for (int steps = 0; !dock.isEmpty() && steps < 64; ++steps) {
            if (dock == change)
                return true;
            const auto it = m.parent.find(dock);
            dock = it == m.parent.end() ? QByteArray() : it->second;
        }
        return false;
    }

    // What the promise forbids once nothing changes: a push, a pull, a backup, a Dock restart.
    QList<int> activity() const
    {
        QList<int> counts;
        for (const auto &each : m_macs)
            counts << int(each->backups().size()) << each->dockRestarts();
        counts << int(m.clock);
        return counts;
    }

    // Delivers all, runs every Mac until a round changes nothing, then checks; the problem or empty.
    QString settleAndCheck()
    {
        bool quiet = false;
        for (int round = 0; round < 6 && !quiet; ++round) {
            deliverAll();
            const quint64 before = m.clock;
            for (int i = 0; i < size(); ++i)
                run(i);
            quiet = m.clock == before && m.pending.isEmpty();
        }
        if (!quiet)
            return u"the Macs did not settle"_s;
        const bool anyConflict =
            std::ranges::any_of(std::views::iota(0, size()), [this](int i) { return inConflict(i); });
        for (int i = 1; i < size(); ++i) {
            if (dock(i) != dock(0) && !anyConflict)
                return u"Macs hold different Docks and none is asked: "_s +
                       QString::fromLatin1(dock(0) + ' ' + dock(i));
        }
        for (const auto &c : m.changes) {
            for (int i = 0; i < size() && !c.flagged; ++i) {
                if (!inConflict(i) && !contains(dock(i), c.dock))
                    return u"change %1 lost on Mac %2, which holds %3, and no conflict flagged"_s.arg(
                        QString::fromLatin1(c.dock), QString::number(i), QString::fromLatin1(dock(i)));
            }
        }
        const QList<int> before = activity();
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < size(); ++i)
                run(i);
            deliverAll();
        }
        return activity() == before ? QString() : u"settled Macs still pushed, pulled or restarted their Dock"_s;
    }

    struct Saved {
        Memory memory;
        std::map<QString, std::pair<QByteArray, double>> files; // absent files are not there
    };
    Saved save() const
    {
        Saved saved{m, {}};
        for (int i = 0; i < size(); ++i) {
            for (const QString &path : decidingFiles(i)) {
                QFile file(path);
                if (file.open(QIODevice::ReadOnly))
                    saved.files[path] = {file.readAll(), SafeFile::modificationTime(path).value_or(0)};
            }
        }
        return saved;
    }
    void restore(const Saved &saved)
    {
        for (int i = 0; i < size(); ++i) {
            for (const QString &path : decidingFiles(i)) {
                if (!saved.files.count(path))
                    QFile::remove(path);
            }
        }
        for (const auto &[path, content] : saved.files) {
            if (QFile file(path); !file.open(QIODevice::ReadOnly) || file.readAll() != content.first ||
                                  SafeFile::modificationTime(path) != content.second)
                writeFile(path, content.first, content.second);
        }
        m = saved.memory;
    }

private:
    SimulatedMac &mac(int i) const { return *m_macs[size_t(i)]; }
    QString folder(int i) const { return mac(i).syncFolder(); }

    bool m_keepTimes;
    std::vector<std::unique_ptr<SimulatedMac>> m_macs;
};

// Only a run looks at anything: a step is one Mac's run, after its user may have changed the Dock
// and the newest copy, meta file or both may have arrived. Mac * 1000 + change * 100 + copy * 10 + meta.
QList<int> choices(const World &world, int changes, int runs)
{
    QList<int> open;
    for (int i = 0; i < world.size(); ++i) {
        if (world.m.runs[i] >= runs)
            continue;
        bool copy = false, meta = false;
        for (const Delivery &d : world.m.pending) {
            copy = copy || (d.to == i && d.file == kCopy);
            meta = meta || (d.to == i && d.file == kMeta);
        }
        for (int change = 0; change <= (world.m.made[i] < changes ? 1 : 0); ++change) {
            for (int c = 0; c <= (copy ? 1 : 0); ++c) {
                for (int m = 0; m <= (meta ? 1 : 0); ++m)
                    open << i * 1000 + change * 100 + c * 10 + m;
            }
        }
    }
    return open;
}

void apply(World &world, int choice)
{
    const int mac = choice / 1000;
    for (const auto &[file, wanted] : {std::pair(kCopy, choice / 10 % 10), std::pair(kMeta, choice % 10)}) {
        for (qsizetype k = 0; wanted && k < world.m.pending.size();) {
            if (world.m.pending[k].to == mac && world.m.pending[k].file == file)
                world.deliver(k);
            else
                ++k;
        }
    }
    if (choice / 100 % 10)
        world.change(mac);
    world.run(mac);
}

} // namespace

class TestModelCheck : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    int m_schedules = 0;
    QString m_failure;

    // Depth first through every schedule; a state reached before is not explored again.
    void explore(World &world, int changes, std::set<QByteArray> &visited, const QString &trail)
    {
        if (!m_failure.isEmpty())
            return;
        const QList<int> open = choices(world, changes, changes);
        if (open.isEmpty()) {
            ++m_schedules;
            if (const QString problem = world.settleAndCheck(); !problem.isEmpty())
                m_failure = problem + u" after "_s + trail;
            return;
        }
        const World::Saved saved = world.save();
        for (const int choice : open) {
            world.restore(saved);
            apply(world, choice);
            const QByteArray state = signature(world);
            if (!visited.insert(state).second)
                continue;
            explore(world, changes, visited, trail + u' ' + QString::number(choice));
        }
    }

    // Two schedules that led to the same Docks, shared files, records and writes on their way lead
    // to the same futures. Versions count only by their order, which decides crossing writes.
    static QByteArray signature(const World &world)
    {
        std::set<quint64> live;
        for (int i = 0; i < world.size(); ++i) {
            for (const auto &[file, version] : world.m.versions[i])
                live.insert(version);
        }
        for (const Delivery &d : world.m.pending)
            live.insert(d.version);
        const auto rank = [&live](quint64 version) {
            return QByteArray::number(qlonglong(std::distance(live.begin(), live.find(version))));
        };
        QByteArray state;
        for (int i = 0; i < world.size(); ++i) {
            state += world.state(i) + QByteArray::number(world.m.made[i]) + '/' + QByteArray::number(world.m.runs[i]);
            for (const auto &[file, version] : world.m.versions[i])
                state += file.toLatin1() + rank(version) + ',';
        }
        for (const Delivery &d : world.m.pending)
            state += d.file.toLatin1() + QByteArray::number(d.to) + rank(d.version) +
                     QCryptographicHash::hash(d.bytes, QCryptographicHash::Md5) + ';';
        for (const auto &c : world.m.changes)
            state += c.flagged ? "F" : "-";
        return QCryptographicHash::hash(state, QCryptographicHash::Sha1);
    }

private slots:
    void init()
    {
        // Thousands of small writes: in memory where the system offers it.
        const bool memory = QFileInfo(u"/dev/shm"_s).isWritable();
        m_root = std::make_unique<QTemporaryDir>(memory ? u"/dev/shm/tandrill-model-XXXXXX"_s
                                                        : QDir::tempPath() + u"/tandrill-model-XXXXXX"_s);
        QVERIFY(m_root->isValid());
        m_schedules = 0;
        m_failure.clear();
    }

    void everyScheduleOfTwoMacs_data()
    {
        QTest::addColumn<bool>("keepTimes");
        QTest::newRow("times kept") << true;
        QTest::newRow("times not kept") << false;
    }
    void everyScheduleOfTwoMacs()
    {
        QFETCH(bool, keepTimes);
        World world(m_root->path(), 2, keepTimes);
        std::set<QByteArray> visited;
        explore(world, 2, visited, {});
        QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
        QVERIFY(m_schedules > 100);
    }

    void sampleOfThreeMacs()
    {
        World world(m_root->path(), 3, true);
        const World::Saved start = world.save();
        QRandomGenerator random(20261207);
        for (int sample = 0; sample < 2000; ++sample) {
            world.restore(start);
            QString trail;
            for (QList<int> open = choices(world, 2, 3); !open.isEmpty(); open = choices(world, 2, 3)) {
                const int choice = open[random.bounded(int(open.size()))];
                apply(world, choice);
                trail += u' ' + QString::number(choice);
            }
            const QString problem = world.settleAndCheck();
            QVERIFY2(problem.isEmpty(), qPrintable(problem + u" after"_s + trail));
        }
    }
};

TANDRILL_TEST_CLASS(TestModelCheck)
#include "tst_modelcheck.moc"
