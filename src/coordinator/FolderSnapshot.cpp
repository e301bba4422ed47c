#include "FolderSnapshot.h"

#include "SharedLog.h"
#include "SyncEngine.h"
#include "SyncFormat.h"

#include <QDateTime>
#include <QDir>
#include <QStringDecoder>

#include <cmath>

QString formatLocalTime(double secondsSinceEpoch)
{
    const auto ms = static_cast<qint64>(std::floor(secondsSinceEpoch * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

FolderSnapshot FolderSnapshotReader::read(const Request &request)
{
    FolderSnapshot snapshot;
    const QString prefix = request.folder + QLatin1Char('/');
    if (request.syncInfo) {
        snapshot.readSyncInfo = true;
        snapshot.syncInfo = readMeta(prefix + SyncFormat::kMetaFileName);
        if (snapshot.syncInfo) {
            if (const auto mtime = SafeFile::modificationTime(request.dockPath))
                snapshot.lastSyncLocal = formatLocalTime(*mtime);
        }
    }
    if (request.log) {
        snapshot.readLog = true;
        snapshot.logLines = readLog(request.folder);
    }
    if (request.conflict) {
        snapshot.readConflict = true;
        snapshot.conflictMarker =
            !request.folder.isEmpty() &&
            SafeFile::exists(hostFilePath(request.folder, SyncFormat::kConflictPrefix, request.myHostname));
    }
    if (request.hosts) {
        snapshot.readHosts = true;
        snapshot.hosts = readHosts(request.folder, request.myHostname);
    }
    if ((request.dock || request.dockForced) && !request.folder.isEmpty())
        snapshot.dockDifference = readDockDifference(request);
    if (request.backups && !request.folder.isEmpty())
        snapshot.backups = SyncEngine(request.folder, request.myHostname, request.engine).listBackups();
    return snapshot;
}

// Parsing two Docks is cheap, but not on every refresh for nothing: only when one of the files
// it rests on changed.
std::optional<DockDifference> FolderSnapshotReader::readDockDifference(const Request &request)
{
    const QString prefix = request.folder + QLatin1Char('/');
    const QList<std::optional<SafeFile::Stamp>> stamps{SafeFile::stamp(prefix + SyncFormat::kDockFileName),
                                                       SafeFile::stamp(prefix + SyncFormat::kMetaFileName),
                                                       SafeFile::stamp(request.dockPath)};
    if (!request.dockForced && stamps == m_dockStamps)
        return std::nullopt;
    m_dockStamps = stamps;
    return SyncEngine(request.folder, request.myHostname, request.engine).dockDifference();
}

void FolderSnapshotReader::invalidate()
{
    *this = FolderSnapshotReader();
}

std::optional<FolderSnapshot::SyncInfo> FolderSnapshotReader::readMeta(const QString &path)
{
    const auto stamp = SafeFile::stamp(path);
    if (!stamp || !stamp->regular) {
        m_meta.reset();
        return std::nullopt;
    }
    if (m_meta && m_meta->path == path && m_meta->stamp == *stamp)
        return m_meta->info;

    const auto bytes = SafeFile::readRegularFile(path, SyncFormat::kMaxKeyValueFileBytes);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    // Picked by prefix, later lines winning; nothing trimmed.
    FolderSnapshot::SyncInfo info;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("host=")))
            info.remoteHostname = line.mid(5).toString();
        else if (line.startsWith(QLatin1String("updated=")))
            info.lastSyncRemote = line.mid(8).toString();
    }
    m_meta = CachedMeta{path, *stamp, info};
    return info;
}

// Every Mac's log file, the old shared one and its copies, merged; a file is read again only when
// its stamp changed, and the merge is made again only when one of them or the clear marker did.
std::optional<QList<LogEntry>> FolderSnapshotReader::readLog(const QString &folder)
{
    const QString prefix = folder + QLatin1Char('/');
    const QStringList names = folder.isEmpty() ? QStringList()
                                               : SharedLog::logFileNames(QDir(folder).entryList(
                                                     QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted));
    QHash<QString, CachedLog> next;
    next.reserve(names.size());
    bool changed = !m_logKnown || m_logFolder != folder || names.size() != m_logCache.size();
    for (const QString &name : names) {
        const auto found = SafeFile::stamp(prefix + name);
        const SafeFile::Stamp stamp = found && found->regular ? *found : SafeFile::Stamp{};
        const auto cached = m_logCache.constFind(name);
        if (cached != m_logCache.cend() && cached->stamp == stamp) {
            next.insert(name, *cached);
            continue;
        }
        changed = true;
        const auto source =
            stamp.regular ? SharedLog::readSource(prefix + name, *SharedLog::kindOf(name)) : std::nullopt;
        next.insert(name, {stamp, source.value_or(SharedLog::Source{})});
    }
    const auto cleared = folder.isEmpty() ? std::nullopt : SafeFile::stamp(prefix + SyncFormat::kLogClearedFileName);
    changed = changed || cleared != m_logClearedStamp;
    if (!changed)
        return std::nullopt;
    m_logKnown = true;
    m_logFolder = folder;
    m_logCache = std::move(next);
    m_logClearedStamp = cleared;
    QList<SharedLog::Source> sources;
    sources.reserve(names.size());
    for (const QString &name : names)
        sources.append(m_logCache[name].source);
    return SharedLog::merge(sources, folder.isEmpty() ? std::nullopt : SharedLog::readClearedAt(folder), 80);
}

std::optional<QList<HostInfo>> FolderSnapshotReader::readHosts(const QString &folder, const QString &myHostname)
{
    if (folder.isEmpty()) {
        m_hostsKnown = false;
        return QList<HostInfo>();
    }
    const QDir directory(folder);
    if (!directory.exists())
        return std::nullopt;
    if (m_hostsFolder != folder || m_hostsOwner != myHostname) {
        m_statusCache.clear();
        m_hostsKnown = false;
        m_hostsFolder = folder;
        m_hostsOwner = myHostname;
    }

    // Matched by hand: a name filter makes QDir compile a regular expression on every call, which
    // cost more than the rest of a refresh with nothing changed.
    QStringList names;
    for (const QString &name :
         directory.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted)) {
        if (SyncFormat::isServiceConflictCopy(name))
            continue;
        if (name.startsWith(SyncFormat::kStatusPrefix) && name.endsWith(SyncFormat::kHostFileSuffix))
            names.append(name);
        // An evicted status file leaves only its stub ".status-X.txt.icloud": still that Mac.
        else if (name.startsWith(QLatin1Char('.') + SyncFormat::kStatusPrefix) &&
                 name.endsWith(QLatin1String(".icloud")))
            names.append(name.mid(1).chopped(7));
    }
    names.removeDuplicates();
    bool changed = !m_hostsKnown || names != m_lastHostOrder;
    QHash<QString, CachedStatus> next;
    next.reserve(names.size());
    for (const QString &name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        const auto found = SafeFile::stamp(path);
        const auto stamp = found.value_or(SafeFile::Stamp{});
        const auto cached = m_statusCache.constFind(name);
        if (cached != m_statusCache.cend() && cached->stamp == stamp) {
            next.insert(name, *cached);
            continue;
        }
        changed = true;
        CachedStatus status{stamp, std::nullopt};
        if (stamp.regular) {
            if (const auto bytes = SafeFile::readRegularFile(path, SyncFormat::kMaxKeyValueFileBytes))
                status.host = readHostStatus(*bytes, myHostname);
        }
        // Unreadable now (evicted, downloading): the Mac is still there, as last read. One never
        // read is shown by the name its file carries.
        if (!status.host && cached != m_statusCache.cend())
            status.host = cached->host;
        if (!status.host && !found) {
            HostInfo host;
            host.hostname = name.mid(SyncFormat::kStatusPrefix.size()).chopped(SyncFormat::kHostFileSuffix.size());
            host.lastAction = QStringLiteral("sync");
            host.lastTime = QStringLiteral("—");
            host.isThisMac = SyncFormat::fileSafeName(myHostname) == host.hostname;
            status.host = host;
        }
        next.insert(name, status);
    }
    m_statusCache = std::move(next);
    m_lastHostOrder = names;
    m_hostsKnown = true;
    if (!changed)
        return std::nullopt;

    QList<HostInfo> hosts;
    for (const QString &name : names) {
        const CachedStatus &status = m_statusCache[name];
        if (status.host) {
            HostInfo host = *status.host;
            host.id = QUuid::createUuid();
            hosts.append(host);
        }
    }
    sortHosts(hosts);
    return hosts;
}
