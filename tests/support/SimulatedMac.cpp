#include "SimulatedMac.h"

#include "SafeFile.h"
#include "TestDock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

using namespace Qt::StringLiterals;

void RecordingNotifier::send(const QString &body, const QString &)
{
    const QMutexLocker lock(&m_mutex);
    m_bodies.append(body);
}

QStringList RecordingNotifier::bodies() const
{
    const QMutexLocker lock(&m_mutex);
    return m_bodies;
}

void RecordingNotifier::clear()
{
    const QMutexLocker lock(&m_mutex);
    m_bodies.clear();
}

SimulatedDock::SimulatedDock(QString dockPath) : m_path(std::move(dockPath)) {}

std::optional<QByteArray> SimulatedDock::exportCurrent()
{
    // Regular files only: a FIFO planted as the Dock file must not block the engine.
    return SafeFile::readRegularFile(m_path, 64 * 1024 * 1024);
}

std::optional<QString> SimulatedDock::import(const QByteArray &bytes)
{
    const SafeFile::IoResult written = SafeFile::writeAtomically(m_path, bytes);
    return written.ok() ? std::nullopt : std::optional<QString>(written.description);
}

void SimulatedDock::restartDock()
{
    const int generation = ++m_restarts + 1;
    if (!m_rewrites)
        return;
    // The restarted Dock writes its file again: new stamps, GUIDs, bookmarks and labels, a newer time.
    const double before = SafeFile::modificationTime(m_path).value_or(0);
    if (const auto bytes = exportCurrent()) {
        writeBytes(m_path, TestDock::rewriteVolatile(*bytes, generation, m_language));
        SafeFile::setModificationTime(m_path, before + 7);
    }
}

// Host names may hold characters no directory name should: the homes are numbered.
SimulatedMac::SimulatedMac(const QString &hostname, const QString &syncFolder, const QString &root)
    : m_hostname(hostname), m_syncFolder(syncFolder), m_home(root + u"/mac-%1"_s.arg(++s_homes)),
      m_backups(m_home + u"/.local/share/Tandrill/Backups"_s), m_dock(dockPath())
{
    QDir().mkpath(m_home + u"/Library/Preferences"_s);
}

EngineServices SimulatedMac::services()
{
    EngineServices services;
    services.homeDirectory = m_home;
    services.backupsDirectory = m_backups;
    services.notices = noticesTo(&m_notifier);
    services.dockPreferences = m_preferences ? m_preferences : &m_dock;
    services.machine = m_machine;
    services.sameLookOnAllMacs = m_sameLook;
    if (m_now) // read at every call, so a test can move the wall clock of a running coordinator
        services.now = [this] { return *m_now; };
    return services;
}

SyncEngine SimulatedMac::engine()
{
    // An empty folder would address files at the file system's root.
    if (m_syncFolder.isEmpty())
        qFatal("SimulatedMac %s has no sync folder", qPrintable(m_hostname));
    EngineServices explicitFolder = services();
    explicitFolder.createSyncFolder = true; // as the command-line tool given --folder
    return SyncEngine(m_syncFolder, m_hostname, explicitFolder);
}

void SimulatedMac::establish()
{
    QDir().mkpath(m_syncFolder);
    if (engine().writeStatus(QStringLiteral("sync"), std::trunc(dockMTime())))
        qFatal("cannot record %s as a member", qPrintable(m_hostname));
}

void SimulatedMac::writeDock(const QByteArray &bytes, std::optional<double> mtime)
{
    writeBytes(dockPath(), bytes);
    if (mtime)
        SafeFile::setModificationTime(dockPath(), *mtime);
}

bool settleMacs(const QList<SimulatedMac *> &macs, int maxRounds, int *conflicts,
                const std::function<bool()> &beforeRound)
{
    using Kind = SyncEngine::Result::Kind;
    for (int round = 0; round < maxRounds; ++round) {
        bool allInSync = !beforeRound || beforeRound();
        for (SimulatedMac *mac : macs) {
            const Kind kind = mac->run(SyncEngine::Mode::Auto).kind();
            if (kind == Kind::Conflict) {
                if (conflicts)
                    ++*conflicts;
                mac->run(SyncEngine::Mode::Pull);
            }
            allInSync = allInSync && kind == Kind::InSync;
            if (mac->dockBytes().isEmpty())
                return false;
        }
        if (allInSync)
            return true;
    }
    return false;
}

bool staysQuiet(const QList<SimulatedMac *> &macs, int rounds, const std::function<bool()> &beforeRound)
{
    const auto activity = [&macs] {
        qsizetype sum = 0;
        for (const SimulatedMac *mac : macs)
            sum += mac->dockRestarts() + mac->backups().size();
        return sum;
    };
    const qsizetype before = activity();
    for (int round = 0; round < rounds; ++round) {
        if (!settleMacs(macs, 1, nullptr, beforeRound))
            return false;
    }
    return activity() == before;
}

QByteArray readBytes(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {}; // a FIFO would block the test
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return TestDock::markerOf(bytes).value_or(bytes);
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    // Bytes that are no property list, written as a Dock, stand for the Dock of that name.
    const bool plain = !bytes.isEmpty() && !bytes.startsWith("bplist") && !bytes.startsWith("<?xml");
    file.write(plain && path.endsWith(u"com.apple.dock.plist"_s) ? TestDock::marker(bytes) : bytes);
}
