#include "SyncEngine.h"

#include "SafeFile.h"
#include "SyncFormat.h"
#include "platform/CloudFiles.h"
#include "platform/DockPreferences.h"
#include "platform/Notifier.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

using namespace SyncFormat;

namespace {

const QString kTitle = QStringLiteral("Tandrill");

QString notYetAvailable(QLatin1StringView name)
{
    return name + QLatin1String(" ist noch nicht verfügbar");
}

QString notADock(const QString &name)
{
    return name + QLatin1String(" ist keine Dock-Konfiguration");
}

QString tooLarge(const QString &name)
{
    return name + QLatin1String(" ist größer als 16 MiB");
}

QString lastPathComponent(const QString &path)
{
    return QFileInfo(QDir::cleanPath(path)).fileName();
}

// Backups of one second are named "<stamp><suffix>.plist", then "<stamp><suffix>-2.plist", "-3", …:
// the name without its counter, and the counter as a number (1 when there is none).
std::pair<QString, int> backupNameOrder(const QString &name)
{
    QString base = name.chopped(QLatin1String(".plist").size());
    int counter = 1;
    const qsizetype dash = base.lastIndexOf(QLatin1Char('-'));
    bool isNumber = false;
    const int number = dash < 0 ? 0 : QStringView(base).mid(dash + 1).toInt(&isNumber);
    if (isNumber && number >= 2) {
        counter = number;
        base.truncate(dash);
    }
    return {base, counter};
}

} // namespace

EngineServices EngineServices::forCurrentUser()
{
    EngineServices services;
    services.homeDirectory = QDir::homePath();
    services.backupsDirectory = standardBackupsDirectory();
    return services;
}

QString EngineServices::standardBackupsDirectory()
{
    // ~/Library/Application Support on macOS, $XDG_DATA_HOME (~/.local/share) on Linux.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/Library/Application Support");
    return base + QLatin1String("/Tandrill/Backups");
}

QString SyncEngine::Result::name() const
{
    switch (m_kind) {
    case Kind::Error:
        return QStringLiteral("error");
    case Kind::Pushed:
        return QStringLiteral("pushed");
    case Kind::Pulled:
        return QStringLiteral("pulled");
    case Kind::InSync:
        return QStringLiteral("inSync");
    case Kind::Conflict:
        return QStringLiteral("conflict");
    case Kind::StatusWritten:
        return QStringLiteral("statusWritten");
    case Kind::Restored:
        return QStringLiteral("restored");
    }
    return QStringLiteral("error");
}

SyncEngine::SyncEngine(QString syncFolderPath, QString hostname, EngineServices services)
    : m_syncFolderPath(std::move(syncFolderPath)), m_hostname(std::move(hostname)), m_services(std::move(services))
{}

SyncEngine::Result SyncEngine::run(Mode mode)
{
    ensureDirectory(m_syncFolderPath);
    ensureDirectory(backupsDirectory());
    switch (mode) {
    case Mode::Auto:
        return autoSync();
    case Mode::Push:
        return push();
    case Mode::Pull:
        return pull();
    case Mode::Status:
        writeStatus(QStringLiteral("online"));
        log(QStringLiteral("STATUS: Präsenz registriert"));
        return Result::statusWritten();
    }
    return Result::error(QString());
}

SyncEngine::Result SyncEngine::push()
{
    log(QLatin1String("PUSH: Sende lokales Dock nach ") + lastPathComponent(m_syncFolderPath) + QStringLiteral(" …"));
    // Read first: what is not a Dock is never shared, and nothing is spent on it.
    const double localTime = localDockMTime();
    const DockBytes local = readLocalDock();
    if (!local.layout)
        return pushFailed(local.problem);
    if (const auto failure = backupLocalDock(QString()))
        return pushFailed(*failure);
    // The copy carries the Dock file's modification time, so the shared copy and the meta file agree.
    const QString shared = folderFile(kDockFileName);
    if (const SafeFile::IoResult written = SafeFile::writeAtomically(shared, *local.bytes); !written.ok())
        return pushFailed(written.description);
    if (localTime > 0)
        SafeFile::setModificationTime(shared, localTime);
    recordAgreement(*local.bytes);
    // The status records the meta file's time; when this push just wrote it, that is known.
    if (writeMeta(localTime))
        writeStatus(QStringLiteral("push"), readNumber(QString::fromLatin1(wholeNumberText(localTime))));
    else
        writeStatus(QStringLiteral("push"));
    removeOwnConflictMarker();
    log(QStringLiteral("PUSH: Erfolgreich hochgeladen"));
    notify(QStringLiteral("Dock nach iCloud hochgeladen ✅"));
    return Result::pushed();
}

SyncEngine::Result SyncEngine::pull()
{
    log(QLatin1String("PULL: Hole Dock-Konfiguration von ") + lastPathComponent(m_syncFolderPath) +
        QStringLiteral(" …"));
    const QString shared = folderFile(kDockFileName);
    if (fileState(shared) == int(CloudFiles::State::Absent)) {
        log(QStringLiteral("PULL: Keine Konfiguration in iCloud gefunden"));
        notify(QStringLiteral("⚠️ Keine Dock-Konfiguration im Sync-Ordner gefunden"));
        return Result::error(QStringLiteral("Keine gemeinsame Konfiguration vorhanden"));
    }
    // An evicted or half-arrived file is not applied, and neither is anything that is not a Dock:
    // either would wipe the user's Dock. Refuse before anything local changes.
    if (const auto missing = unavailableSharedFile())
        return pullFailed(*missing);
    const DockBytes incoming = readSharedDock();
    if (!incoming.layout)
        return pullFailed(incoming.problem);

    if (const auto failure = backupLocalDock(QStringLiteral("_vor_pull")))
        return pullFailed(*failure);

    const DockBytes current = readLocalDock();
    const bool sameLayout = current.layout && *current.layout == *incoming.layout;
    if (const auto failure = applyLocalDock(*incoming.bytes))
        return pullFailed(*failure);
    recordAgreement(*incoming.bytes);

    // The applied file takes the pushed time recorded in the meta file, so that this Mac and the
    // pusher agree and neither pushes the file straight back (the sync service may not keep
    // modification times). A shared copy older than the meta file has not fully arrived yet: it
    // keeps its own time.
    const double recorded = remoteMTime();
    const double sharedTime = SafeFile::modificationTime(shared).value_or(0);
    const double appliedTime = recorded > 0 && std::trunc(sharedTime) >= recorded ? recorded : sharedTime;
    if (appliedTime > 0 && SafeFile::exists(localDockPath()))
        SafeFile::setModificationTime(localDockPath(), appliedTime);
    // Restarting the Dock un-minimises the user's windows; a layout it already shows needs none.
    if (!sameLayout)
        restartDock();
    writeStatus(QStringLiteral("pull"));
    removeOwnConflictMarker();
    log(sameLayout ? QStringLiteral("PULL: Dock aktualisiert (Anordnung unverändert, kein Neustart)")
                   : QStringLiteral("PULL: Dock aktualisiert und neu gestartet"));
    notify(QStringLiteral("Dock von iCloud geladen ✅"));
    return Result::pulled();
}

SyncEngine::Result SyncEngine::autoSync()
{
    // A shared file that exists but cannot be read now is not a missing one: deciding without it
    // would push this Mac's Dock over everyone's. Wait until the sync service has it here.
    if (const auto missing = unavailableSharedFile()) {
        log(QLatin1String("AUTO: ") + *missing);
        return Result::error(*missing);
    }

    const double local = localDockMTime();
    const double remote = remoteMTime();
    const QString pusher = readMeta(QStringLiteral("host")).value_or(QStringLiteral("unbekannt"));
    const double lastPulled = readLastPulled();

    log(QLatin1String("AUTO: Lokal=") + roundedText(local) + QLatin1String("  iCloud=") + roundedText(remote) +
        QLatin1String(" (von: ") + pusher + QLatin1String(")  MeinLetzterPull=") + roundedText(lastPulled));

    // Equal layouts are in sync whatever the times say: the Dock rewrites its own file after every
    // restart, so times alone would send every pull straight back as a push.
    const DockBytes here = readLocalDock();
    const DockBytes shared = readSharedDock();
    const bool bothDocks = here.layout && shared.layout;
    if (bothDocks && *here.layout == *shared.layout) {
        recordAgreement(*shared.bytes);
        log(QStringLiteral("AUTO: Dock ist bereits synchron"));
        writeStatus(QStringLiteral("sync"));
        notify(QStringLiteral("Dock bereits synchron ✅"));
        return Result::inSync();
    }

    // The stored times are whole seconds; compare the local one the same way, so an unchanged Dock
    // right after its own push is in sync.
    const double localWhole = std::trunc(local);

    // With the Dock this Mac last agreed with at hand, what changed is known by content: the side
    // that differs from it wins, and only both differing is a conflict.
    if (const auto agreed = bothDocks && lastPulled > 0 ? agreedLayout() : std::nullopt) {
        const bool localChanged = !(*here.layout == *agreed);
        const bool sharedChanged = !(*shared.layout == *agreed);
        if (localChanged && !sharedChanged) {
            log(QStringLiteral("AUTO: Lokales Dock ist aktueller → Push"));
            return push();
        }
        if (!localChanged && sharedChanged) {
            log(QLatin1String("AUTO: iCloud-Dock ist aktueller (von ") + pusher + QStringLiteral(") → Pull"));
            return pull();
        }
        if (pusher != m_hostname) {
            log(QStringLiteral("KONFLIKT: Lokales Dock UND iCloud-Dock wurden seit letztem Sync verändert"));
            notify(QStringLiteral("⚠️ Konflikt erkannt — bitte Push oder Pull manuell wählen"));
            SafeFile::writeAtomically(hostFileURL(kConflictPrefix), QByteArray());
            return Result::conflict();
        }
    }

    // Both sides holding the same time is no conflict, whatever this Mac last recorded: a status
    // write lost after a pull would otherwise ask the user to choose between two equal Docks.
    const bool changedOnBothSides = lastPulled > 0 && lastPulled < localWhole && lastPulled < remote &&
                                    pusher != m_hostname && localWhole != remote;
    // A Mac that has never agreed with the shared Dock (a Mac joining, often with the factory Dock)
    // and holds another layout does not get to choose by time: the user does.
    const bool joiningWithOtherDock = lastPulled == 0 && remote > 0 && bothDocks && pusher != m_hostname;
    if (changedOnBothSides || joiningWithOtherDock) {
        log(QStringLiteral("KONFLIKT: Lokales Dock UND iCloud-Dock wurden seit letztem Sync verändert"));
        notify(QStringLiteral("⚠️ Konflikt erkannt — bitte Push oder Pull manuell wählen"));
        SafeFile::writeAtomically(hostFileURL(kConflictPrefix), QByteArray());
        return Result::conflict();
    }
    if (remote == 0) {
        log(QStringLiteral("AUTO: Erstmalige Synchronisation → Push"));
        return push();
    }
    if (remote < localWhole) {
        log(QStringLiteral("AUTO: Lokales Dock ist aktueller → Push"));
        return push();
    }
    if (localWhole < remote) {
        log(QLatin1String("AUTO: iCloud-Dock ist aktueller (von ") + pusher + QStringLiteral(") → Pull"));
        return pull();
    }
    // Equal times, yet the folder holds another Dock than the push its meta file records: the sync
    // service delivered the two files apart, or kept each from a different Mac's push. Left alone,
    // the Macs would stay apart for good. The Mac the meta file names restores its push; every
    // other Mac takes the folder's copy.
    if (sharedCopyContradicts(remote, bothDocks)) {
        if (pusher == m_hostname) {
            log(QStringLiteral("AUTO: iCloud-Dock ist nicht der eigene letzte Push → Push"));
            return push();
        }
        log(QLatin1String("AUTO: iCloud-Dock weicht bei gleicher Zeit ab (von ") + pusher + QStringLiteral(") → Pull"));
        return pull();
    }
    log(QStringLiteral("AUTO: Dock ist bereits synchron"));
    writeStatus(QStringLiteral("sync"));
    notify(QStringLiteral("Dock bereits synchron ✅"));
    return Result::inSync();
}

DockDifference SyncEngine::dockDifference() const
{
    DockDifference difference;
    if (const auto values = SafeFile::readRegularFile(folderFile(kMetaFileName), kMaxKeyValueFileBytes)) {
        if (const auto meta = parseKeyValues(*values)) {
            difference.pushedBy = meta->value(QStringLiteral("host"));
            difference.pushedAt =
                QDateTime::fromString(meta->value(QStringLiteral("updated")), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
    }
    const QString sharedPath = folderFile(kDockFileName);
    const int sharedState = fileState(sharedPath);
    if (sharedState == int(CloudFiles::State::Absent))
        return difference;
    const auto unavailable = [&difference](const QString &problem) {
        difference.result = DockDifference::Result::Unavailable;
        difference.problem = problem;
        return difference;
    };
    if (sharedState == int(CloudFiles::State::Unavailable))
        return unavailable(notYetAvailable(kDockFileName));
    const DockBytes shared = readSharedDock();
    if (!shared.layout)
        return unavailable(shared.problem);
    // A Mac without a Dock file yet would receive every tile.
    DockLayout local;
    if (fileState(localDockPath()) != int(CloudFiles::State::Absent) || m_services.dockPreferences) {
        const DockBytes here = readLocalDock();
        if (here.layout)
            local = *here.layout;
        else if (here.bytes || fileState(localDockPath()) != int(CloudFiles::State::Absent))
            return unavailable(here.problem);
    }
    DockDifference computed = DockDifference::between(local, *shared.layout);
    computed.pushedBy = difference.pushedBy;
    computed.pushedAt = difference.pushedAt;
    return computed;
}

QList<BackupInfo> SyncEngine::listBackups() const
{
    struct Entry {
        BackupInfo info;
        int counter;
    };
    QList<Entry> entries;
    const QDir directory(backupsDirectory());
    for (const QFileInfo &file : directory.entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
        if (file.suffix() != QLatin1String("plist") || file.isSymLink())
            continue;
        BackupInfo info;
        info.name = file.fileName();
        info.size = file.size();
        const auto [base, counter] = backupNameOrder(info.name);
        // "com.apple.dock." + yyyyMMdd_HHmmss + suffix
        const QString stamp = base.mid(QLatin1String("com.apple.dock.").size(), 15);
        info.taken = QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd_HHmmss"));
        if (!info.taken.isValid())
            info.taken = file.lastModified();
        info.action = base.endsWith(QLatin1String("_vor_pull"))      ? QStringLiteral("pull")
                      : base.endsWith(QLatin1String("_vor_restore")) ? QStringLiteral("restore")
                                                                     : QStringLiteral("push");
        entries.append({info, counter});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.info.taken != b.info.taken)
            return a.info.taken > b.info.taken;
        if (a.counter != b.counter)
            return a.counter > b.counter;
        return a.info.name > b.info.name;
    });
    QList<BackupInfo> backups;
    for (const Entry &entry : entries)
        backups.append(entry.info);
    return backups;
}

SyncEngine::Result SyncEngine::restoreBackup(const QString &name)
{
    // Only a name from the list: no path parts, nothing that leads out of the backups folder.
    const bool plainName = !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
                           name != QLatin1String(".") && name != QLatin1String("..");
    const QList<BackupInfo> known = listBackups();
    const bool listed =
        std::any_of(known.begin(), known.end(), [&name](const BackupInfo &b) { return b.name == name; });
    if (!plainName || !listed)
        return Result::error(QLatin1String("Keine Sicherung namens ") + name);
    const QString path = backupsDirectory() + QLatin1Char('/') + name;
    const auto bytes = SafeFile::readRegularFile(path, kMaxDockFileBytes);
    if (!bytes)
        return Result::error(name + QLatin1String(" kann nicht gelesen werden"));
    if (!DockLayout::parse(*bytes))
        return Result::error(notADock(name));
    if (const auto failure = backupLocalDock(QStringLiteral("_vor_restore")))
        return Result::error(QLatin1String("RESTORE FEHLER: ") + *failure);
    if (const auto failure = applyLocalDock(*bytes)) {
        log(QLatin1String("RESTORE FEHLER: ") + *failure);
        return Result::error(QLatin1String("RESTORE FEHLER: ") + *failure);
    }
    restartDock();
    log(QLatin1String("RESTORE: Sicherung ") + name + QLatin1String(" wiederhergestellt"));
    return Result::restored();
}

QString SyncEngine::hostFileURL(QLatin1StringView prefix) const
{
    return folderFile(QLatin1StringView()) + hostFileName(prefix, m_hostname);
}

QString SyncEngine::folderFile(QLatin1StringView name) const
{
    return m_syncFolderPath + QLatin1Char('/') + name;
}

QString SyncEngine::localDockPath() const
{
    return m_services.homeDirectory + QLatin1String("/Library/Preferences/com.apple.dock.plist");
}

void SyncEngine::ensureDirectory(const QString &path)
{
    if (!path.isEmpty())
        QDir().mkpath(path);
}

double SyncEngine::localDockMTime() const
{
    return SafeFile::modificationTime(localDockPath()).value_or(0);
}

std::optional<QString> SyncEngine::readMeta(const QString &key) const
{
    const auto bytes = SafeFile::readRegularFile(folderFile(kMetaFileName), kMaxKeyValueFileBytes);
    if (!bytes)
        return std::nullopt;
    const auto values = parseKeyValues(*bytes);
    if (!values || !values->contains(key))
        return std::nullopt;
    return values->value(key);
}

double SyncEngine::remoteMTime() const
{
    const auto value = readMeta(QStringLiteral("mtime"));
    return value ? readNumber(*value) : 0;
}

double SyncEngine::readLastPulled() const
{
    const auto bytes = SafeFile::readRegularFile(hostFileURL(kStatusPrefix), kMaxKeyValueFileBytes);
    if (!bytes)
        return 0;
    const auto values = parseKeyValues(*bytes);
    if (!values)
        return 0;
    const auto it = values->constFind(QStringLiteral("last_pulled"));
    return it == values->cend() ? 0 : readNumber(*it);
}

bool SyncEngine::writeMeta(double mtime) const
{
    return SafeFile::writeAtomically(folderFile(kMetaFileName), metaContent(mtime, m_hostname, now())).ok();
}

void SyncEngine::writeStatus(const QString &action) const
{
    // "last_pulled" is the shared state this Mac last agreed with. Announcing presence agrees with
    // nothing: it keeps the recorded value, or a launch would hide a conflict that arose meanwhile.
    writeStatus(action, action == QLatin1String("online") ? readLastPulled() : remoteMTime());
}

void SyncEngine::writeStatus(const QString &action, double lastPulled) const
{
    SafeFile::writeAtomically(hostFileURL(kStatusPrefix), statusContent(m_hostname, action, now(), lastPulled));
}

void SyncEngine::log(const QString &message) const
{
    const QByteArray line = logLine(now(), m_hostname, message);
    const QString path = folderFile(kLogFileName);
    // The folder is made only when it is missing, not checked before every line.
    SafeFile::IoResult appended = SafeFile::append(path, line);
    if (appended.errorCode == ENOENT) {
        ensureDirectory(m_syncFolderPath);
        appended = SafeFile::append(path, line);
    }
    if (!appended.ok())
        return;

    // Keep the newest lines: 502 pieces are 501 lines plus the empty piece after the last line
    // feed, and are cut to 500 pieces. Only the tail is ever read; a log larger than that is cut
    // to its complete lines within it. Line feeds are found as bytes, so one bad byte cannot stop
    // the trimming and let the log grow without bound, and in place, so the trim every append at
    // the cap does stays cheap.
    const auto tail = SafeFile::readRegularFileTail(path, kMaxLogReadBytes);
    if (!tail)
        return;
    const QByteArray &bytes = tail->bytes;
    std::vector<qsizetype> feeds; // indexOf finds them with memchr
    for (qsizetype feed = bytes.indexOf('\n'); feed >= 0; feed = bytes.indexOf('\n', feed + 1))
        feeds.push_back(feed);
    auto pieces = static_cast<qsizetype>(feeds.size()) + 1;
    qsizetype start = 0;
    if (tail->truncated) {
        start = feeds.empty() ? bytes.size() : feeds.front() + 1;
        --pieces;
    } else if (pieces < 502) {
        return;
    }
    if (pieces > 500) // the newest 500 pieces begin after the 500th line feed from the end
        start = feeds[feeds.size() - 500] + 1;
    SafeFile::writeAtomically(path, bytes.sliced(start));
}

std::optional<QString> SyncEngine::backupLocalDock(const QString &suffix) const
{
    const QString dock = localDockPath();
    if (!SafeFile::exists(dock))
        return std::nullopt;
    const QString directory = backupsDirectory();
    ensureDirectory(directory);
    const QString baseName = QLatin1String("com.apple.dock.") + backupStampText(now()) + suffix;
    const QString base = directory + QLatin1Char('/') + baseName;
    // A second backup within the same second gets "-2", "-3", … before the extension. The counter
    // goes on from the highest one there: a lower name freed by pruning would sort as the oldest.
    // Names are matched here, ignoring case as a QDir name filter would: such a filter compiles a
    // regular expression on every call, which cost more than the rest of the backup.
    int first = 1;
    for (const QString &name : QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!name.startsWith(baseName, Qt::CaseInsensitive) ||
            !name.endsWith(QLatin1String(".plist"), Qt::CaseInsensitive))
            continue;
        if (const auto [takenBase, counter] = backupNameOrder(name); takenBase == baseName)
            first = std::max(first, counter + 1);
    }
    for (int attempt = first; attempt < first + 1000; ++attempt) {
        const QString counter = attempt == 1 ? QString() : QLatin1Char('-') + QString::number(attempt);
        const QString name = base + counter + QLatin1String(".plist");
        const SafeFile::IoResult copied = SafeFile::copyExclusive(dock, name);
        if (copied.ok()) {
            pruneBackups();
            return std::nullopt;
        }
        if (copied.errorCode != EEXIST)
            return copied.description;
    }
    return SafeFile::IoResult::failure(EEXIST, base).description;
}

void SyncEngine::pruneBackups(int keep) const
{
    const QDir directory(backupsDirectory());
    if (!directory.exists())
        return;
    struct Entry {
        QString path;
        std::pair<QString, int> name;
        double mtime;
    };
    std::vector<Entry> entries;
    for (const QString &name : directory.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        if (QFileInfo(name).suffix() != QLatin1String("plist"))
            continue;
        const QString path = directory.filePath(name);
        entries.push_back({path, backupNameOrder(name),
                           SafeFile::modificationTime(path).value_or(-std::numeric_limits<double>::infinity())});
    }
    // Newest first. Backups of an unchanged Dock file share its modification time; their names
    // carry the time they were taken, and their counters the order within one second.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.mtime != b.mtime ? a.mtime > b.mtime : a.name > b.name;
    });
    for (size_t i = static_cast<size_t>(std::max(keep, 0)); i < entries.size(); ++i)
        SafeFile::remove(entries[i].path);
}

std::optional<QString> SyncEngine::replaceItem(const QString &source, const QString &destination,
                                               std::optional<double> modificationTime, bool refuseEmptySource)
{
    const SafeFile::IoResult result =
        SafeFile::copyReplacing(source, destination, {refuseEmptySource, modificationTime});
    if (result.ok())
        return std::nullopt;
    return result.description;
}

// The copy a push leaves carries the pushed Dock's time, which the meta file records. A copy with
// another time was put there by someone else; it contradicts the meta file when it holds another
// layout than this Mac's Dock. An empty or unreadable copy is half-arrived and never counts.
bool SyncEngine::sharedCopyContradicts(double remote, bool layoutsDiffer) const
{
    const auto sharedTime = SafeFile::modificationTime(folderFile(kDockFileName));
    return sharedTime && std::trunc(*sharedTime) != remote && layoutsDiffer;
}

int SyncEngine::fileState(const QString &path) const
{
    return int(m_services.cloudFiles ? m_services.cloudFiles->state(path) : CloudFiles::portableState(path));
}

// The meta file, the Dock copy and this Mac's own status decide together; the first of them that
// is there but cannot be read now, named. Its download is requested on the way.
std::optional<QString> SyncEngine::unavailableSharedFile() const
{
    const QString meta = folderFile(kMetaFileName);
    const QString dock = folderFile(kDockFileName);
    const QString status = hostFileURL(kStatusPrefix);
    const std::pair<QString, QString> files[] = {
        {meta, QString(kMetaFileName)}, {dock, QString(kDockFileName)}, {status, QFileInfo(status).fileName()}};
    for (const auto &[path, name] : files) {
        if (fileState(path) != int(CloudFiles::State::Unavailable))
            continue;
        if (m_services.cloudFiles)
            m_services.cloudFiles->requestDownload(path);
        return name + QLatin1String(" ist noch nicht verfügbar");
    }
    // A copy older than the push the meta file records has not arrived yet: deciding on it would
    // pull a Dock that is already replaced, or send it back.
    const double recorded = remoteMTime();
    const auto sharedTime = SafeFile::modificationTime(dock);
    if (recorded > 0 && sharedTime && std::trunc(*sharedTime) < recorded)
        return notYetAvailable(kDockFileName);
    return std::nullopt;
}

SyncEngine::DockBytes SyncEngine::readLocalDock() const
{
    DockBytes dock;
    const QString name = QLatin1String("Lokales Dock (") + QLatin1String(kDockFileName) + QLatin1Char(')');
    if (m_services.dockPreferences) {
        dock.bytes = m_services.dockPreferences->exportCurrent();
    } else {
        const auto read = SafeFile::readRegularFile(localDockPath(), kMaxDockFileBytes + 1);
        if (read)
            dock.bytes = *read;
    }
    if (!dock.bytes) {
        dock.problem = SafeFile::exists(localDockPath())
                           ? name + QLatin1String(" kann nicht gelesen werden")
                           : SafeFile::IoResult::failure(ENOENT, localDockPath()).description;
        return dock;
    }
    if (dock.bytes->size() > kMaxDockFileBytes)
        dock.problem = tooLarge(name);
    else if (!(dock.layout = DockLayout::parse(*dock.bytes)))
        dock.problem = notADock(name);
    return dock;
}

SyncEngine::DockBytes SyncEngine::readSharedDock() const
{
    DockBytes dock;
    const QString path = folderFile(kDockFileName);
    qint64 size = 0;
    if (const SafeFile::IoResult checked = SafeFile::statRegularFile(path, &size); !checked.ok()) {
        dock.problem = checked.description;
        return dock;
    }
    if (size == 0) {
        dock.problem = QLatin1String(kDockFileName) + QLatin1String(": Die Datei im Sync-Ordner ist leer");
        return dock;
    }
    if (size > kMaxDockFileBytes) {
        dock.problem = tooLarge(QString(kDockFileName));
        return dock;
    }
    dock.bytes = SafeFile::readRegularFile(path, kMaxDockFileBytes);
    if (!dock.bytes)
        dock.problem = notYetAvailable(kDockFileName);
    else if (!(dock.layout = DockLayout::parse(*dock.bytes)))
        dock.problem = notADock(QString(kDockFileName));
    return dock;
}

std::optional<QString> SyncEngine::applyLocalDock(const QByteArray &bytes) const
{
    if (m_services.dockPreferences)
        return m_services.dockPreferences->import(bytes);
    ensureDirectory(QFileInfo(localDockPath()).absolutePath());
    const SafeFile::IoResult written = SafeFile::writeAtomically(localDockPath(), bytes);
    return written.ok() ? std::nullopt : std::optional<QString>(written.description);
}

QString SyncEngine::agreedDockPath() const
{
    const QByteArray folder = QDir::cleanPath(m_syncFolderPath).toUtf8();
    return backupsDirectory() + QLatin1String("/.agreed-") +
           QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
}

void SyncEngine::recordAgreement(const QByteArray &bytes) const
{
    if (SafeFile::readRegularFile(agreedDockPath(), kMaxDockFileBytes) == bytes)
        return;
    ensureDirectory(backupsDirectory());
    SafeFile::writeAtomically(agreedDockPath(), bytes);
}

std::optional<DockLayout> SyncEngine::agreedLayout() const
{
    const auto bytes = SafeFile::readRegularFile(agreedDockPath(), kMaxDockFileBytes);
    return bytes ? DockLayout::parse(*bytes) : std::nullopt;
}

void SyncEngine::restartDock() const
{
    if (m_services.dockPreferences)
        m_services.dockPreferences->restartDock();
}

QDateTime SyncEngine::now() const
{
    return m_services.now ? m_services.now() : QDateTime::currentDateTime();
}

void SyncEngine::notify(const QString &body) const
{
    if (m_services.notifier)
        m_services.notifier->send(body, kTitle);
}

void SyncEngine::removeOwnConflictMarker() const
{
    SafeFile::remove(hostFileURL(kConflictPrefix));
}

SyncEngine::Result SyncEngine::pushFailed(const QString &description) const
{
    const QString message = QLatin1String("PUSH FEHLER: ") + description;
    log(message);
    notify(QStringLiteral("❌ Push fehlgeschlagen"));
    return Result::error(message);
}

SyncEngine::Result SyncEngine::pullFailed(const QString &description) const
{
    const QString message = QLatin1String("PULL FEHLER: ") + description;
    log(message);
    notify(QStringLiteral("❌ Pull fehlgeschlagen"));
    return Result::error(message);
}
