#include "SyncEngine.h"

#include "SafeFile.h"
#include "SyncFormat.h"
#include "platform/CloudFiles.h"
#include "platform/DockPreferences.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <utility>
#include <vector>

using namespace SyncFormat;

namespace {

QString notYetAvailable(QLatin1StringView name)
{
    return name + QStringLiteral(" ist noch nicht verfügbar");
}

QString notADock(const QString &name)
{
    return name + QLatin1String(" ist keine Dock-Konfiguration");
}

QString tooLarge(const QString &name)
{
    return name + QStringLiteral(" ist größer als 16 MiB");
}

QString lastPathComponent(const QString &path)
{
    return QFileInfo(QDir::cleanPath(path)).fileName();
}

// A temporary file a killed write left behind is stale once it has not been touched for this long.
constexpr double kStaleTempSeconds = 60;

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
    : m_syncFolderPath(std::move(syncFolderPath)), m_hostname(cleanHostName(hostname)), m_services(std::move(services))
{}

SyncEngine::Result SyncEngine::run(Mode mode)
{
    // A sync folder that vanished (renamed, not mounted) is never made again: this Mac would go on
    // alone in an empty folder at the old place, cut off from the others, and call that success.
    if (m_services.createSyncFolder && !SafeFile::isDirectory(m_syncFolderPath))
        ensureDirectory(m_syncFolderPath);
    if (!SafeFile::isDirectory(m_syncFolderPath))
        return folderMissing(mode);
    ensureDirectory(backupsDirectory());
    switch (mode) {
    case Mode::Auto:
        return autoSync();
    case Mode::Push:
        return push();
    case Mode::Pull:
        return pull();
    case Mode::Status:
        if (const auto failure = writeStatus(QStringLiteral("online"))) {
            const QString message = QLatin1String("STATUS FEHLER: Status-Datei nicht geschrieben: ") + *failure;
            log(message);
            return Result::error(message);
        }
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
    // A copy without its meta file is not a push: the next automatic run elsewhere would take the
    // old meta time for the truth and undo it. So both files and the status must be written.
    if (const auto failure = writeMeta(localTime))
        return pushFailed(QLatin1String("Meta-Datei nicht geschrieben: ") + *failure);
    // The status records the meta file's time, which this push just wrote.
    if (const auto failure =
            writeStatus(QStringLiteral("push"), readNumber(QString::fromLatin1(wholeNumberText(localTime)))))
        return pushFailed(QLatin1String("Status-Datei nicht geschrieben: ") + *failure);
    removeOwnConflictMarker();
    removeStaleTempFiles();
    log(QStringLiteral("PUSH: Erfolgreich hochgeladen"));
    notify({SyncNotice::Kind::Pushed, {}});
    return Result::pushed();
}

SyncEngine::Result SyncEngine::pull()
{
    log(QLatin1String("PULL: Hole Dock-Konfiguration von ") + lastPathComponent(m_syncFolderPath) +
        QStringLiteral(" …"));
    const QString shared = folderFile(kDockFileName);
    if (fileState(shared) == int(CloudFiles::State::Absent)) {
        log(QStringLiteral("PULL: Keine Konfiguration in iCloud gefunden"));
        notify({SyncNotice::Kind::NothingToPull, {}});
        return Result::error(QStringLiteral("Keine gemeinsame Konfiguration vorhanden"));
    }
    // An evicted or half-arrived file is not applied, and neither is anything that is not a Dock:
    // either would wipe the user's Dock. Refuse before anything local changes.
    std::optional<QString> missing = unavailableSharedFile();
    if (!missing)
        missing = sharedCopyNotArrived();
    if (missing)
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
    // A Dock that did not come back with the pulled layout is no agreement.
    if (const auto failure = sameLayout ? std::nullopt : restartDock())
        return pullFailed(*failure);
    recordAgreement(*incoming.bytes);
    // Without its status the pull is not recorded: the next automatic run would see a conflict.
    if (const auto failure = writeStatus(QStringLiteral("pull")))
        return pullFailed(QStringLiteral("Dock übernommen, aber Status-Datei nicht geschrieben: ") + *failure);
    removeOwnConflictMarker();
    log(sameLayout ? QStringLiteral("PULL: Dock aktualisiert (Anordnung unverändert, kein Neustart)")
                   : QStringLiteral("PULL: Dock aktualisiert und neu gestartet"));
    notify({SyncNotice::Kind::Pulled, {}});
    return Result::pulled();
}

SyncEngine::Result SyncEngine::autoSync()
{
    // A shared file that exists but cannot be read now is not a missing one: deciding without it
    // would push this Mac's Dock over everyone's. Wait until the sync service has it here.
    const auto unavailable = [this](const QString &missing) {
        log(QLatin1String("AUTO: ") + missing);
        return Result::error(missing);
    };
    if (const auto missing = unavailableSharedFile())
        return unavailable(*missing);
    const DockBytes here = readLocalDock();
    const DockBytes shared = readSharedDock();
    const bool bothDocks = here.layout && shared.layout;
    const bool sameLayout = bothDocks && *here.layout == *shared.layout;
    // An older copy that holds this Mac's layout has nothing to bring: this Mac is in sync with it,
    // and a copy still on its way is taken by content when it comes (it differs from the Dock agreed
    // now). Waiting instead could last for ever: a sync service need not carry a file again whose
    // bytes did not change, nor its time.
    if (const auto missing = sameLayout ? std::nullopt : sharedCopyNotArrived())
        return unavailable(*missing);

    const double local = localDockMTime();
    const double remote = remoteMTime();
    const QString pusher = readMeta(QStringLiteral("host")).value_or(QStringLiteral("unbekannt"));
    const double lastPulled = readLastPulled();

    log(QLatin1String("AUTO: Lokal=") + roundedText(local) + QLatin1String("  iCloud=") + roundedText(remote) +
        QLatin1String(" (von: ") + pusher + QLatin1String(")  MeinLetzterPull=") + roundedText(lastPulled));

    // Equal layouts are in sync whatever the times say: the Dock rewrites its own file after every
    // restart, so times alone would send every pull straight back as a push.
    if (sameLayout) {
        recordAgreement(*shared.bytes);
        log(QStringLiteral("AUTO: Dock ist bereits synchron"));
        writeStatus(QStringLiteral("sync"));
        notify({SyncNotice::Kind::InSync, {}});
        return Result::inSync();
    }

    // The stored times are whole seconds; compare the local one the same way, so an unchanged Dock
    // right after its own push is in sync.
    const double localWhole = std::trunc(local);

    // A copy older than this Mac's own recorded push is another Mac's that the sync service kept:
    // taking it would undo the newest change. Restore the push.
    if (pusher == m_hostname && remote > 0 &&
        std::trunc(SafeFile::modificationTime(folderFile(kDockFileName)).value_or(remote)) < remote) {
        log(QStringLiteral("AUTO: iCloud-Dock ist nicht der eigene letzte Push → Push"));
        return push();
    }

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
            notify({SyncNotice::Kind::Conflict, {}});
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
        notify({SyncNotice::Kind::Conflict, {}});
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
    notify({SyncNotice::Kind::InSync, {}});
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
    // Only files of the backup scheme count, ranked by when they were taken as pruning ranks them.
    struct Entry {
        BackupInfo info;
        BackupName name;
    };
    QList<Entry> entries;
    const QDir directory(backupsDirectory());
    for (const QFileInfo &file : directory.entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::System)) {
        const auto name = parseBackupName(file.fileName());
        if (!name || file.isSymLink())
            continue;
        BackupInfo info;
        info.name = file.fileName();
        info.size = file.size();
        info.taken = QDateTime::fromString(name->stamp, QStringLiteral("yyyyMMdd_HHmmss"));
        info.action = name->suffix == QLatin1String("_vor_pull")      ? QStringLiteral("pull")
                      : name->suffix == QLatin1String("_vor_restore") ? QStringLiteral("restore")
                                                                      : QStringLiteral("push");
        entries.append({info, *name});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return isNewerBackup(a.name, b.name); });
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
    if (const auto failure = restartDock()) {
        log(QLatin1String("RESTORE FEHLER: ") + *failure);
        return Result::error(QLatin1String("RESTORE FEHLER: ") + *failure);
    }
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

std::optional<QString> SyncEngine::writeMeta(double mtime) const
{
    const SafeFile::IoResult written =
        SafeFile::writeAtomically(folderFile(kMetaFileName), metaContent(mtime, m_hostname, now()));
    return written.ok() ? std::nullopt : std::optional(written.description);
}

std::optional<QString> SyncEngine::writeStatus(const QString &action) const
{
    // "last_pulled" is the shared state this Mac last agreed with. Announcing presence agrees with
    // nothing: it keeps the recorded value, or a launch would hide a conflict that arose meanwhile.
    return writeStatus(action, action == QLatin1String("online") ? readLastPulled() : remoteMTime());
}

std::optional<QString> SyncEngine::writeStatus(const QString &action, double lastPulled) const
{
    const SafeFile::IoResult written = SafeFile::writeAtomically(
        hostFileURL(kStatusPrefix), statusContent(m_hostname, action, now(), lastPulled, m_services.machine));
    return written.ok() ? std::nullopt : std::optional(written.description);
}

QString SyncEngine::logLockPath() const
{
    if (backupsDirectory().isEmpty())
        return {};
    return QFileInfo(backupsDirectory()).absolutePath() + QLatin1String("/tandrill-log.lock");
}

void SyncEngine::log(const QString &message) const
{
    const QByteArray line = logLine(now(), m_hostname, message);
    const QString path = folderFile(kLogFileName);
    // Writers on this Mac take turns, so a trim never drops a line another one appended meanwhile.
    // The lock file is local: a lock in the shared folder would hold the other Macs up, or be
    // carried to them half-made.
    const SafeFile::ExclusiveLock lock(logLockPath());
    SafeFile::IoResult appended = SafeFile::append(path, line);
    // Only a folder the user has just named may be made here; the folder is checked only then.
    if (appended.errorCode == ENOENT && m_services.createSyncFolder) {
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
    // A link in place of the backups folder would put the copies, and the pruning, somewhere else.
    if (SafeFile::isSymbolicLink(directory))
        return SafeFile::IoResult::failure(ELOOP, directory).description;
    ensureDirectory(directory);
    BackupName name{backupStampText(now()), suffix, 1};
    // A second backup within the same second gets "-2", "-3", … before the extension. The counter
    // goes on from the highest one there: a lower name freed by pruning would sort as the oldest.
    // Names are parsed by hand: a QDir name filter compiles a regular expression on every call,
    // which cost more than the rest of the backup.
    for (const QString &entry : QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const auto taken = parseBackupName(entry);
        if (taken && taken->stamp == name.stamp && taken->suffix == name.suffix)
            name.counter = std::max(name.counter, taken->counter + 1);
    }
    const SafeFile::CopyOptions options{false, std::nullopt, kMaxDockFileBytes};
    for (const qint64 first = name.counter; name.counter < first + 1000; ++name.counter) {
        if (name.counter > kMaxBackupCounter)
            break;
        const SafeFile::IoResult copied =
            SafeFile::copyExclusive(dock, directory + QLatin1Char('/') + backupFileName(name), options);
        if (copied.ok()) {
            pruneBackups();
            return std::nullopt;
        }
        if (copied.errorCode != EEXIST)
            return copied.description;
    }
    return SafeFile::IoResult::failure(EEXIST, directory + QLatin1Char('/') + backupFileName(name)).description;
}

void SyncEngine::pruneBackups(int keep) const
{
    const QString directory = backupsDirectory();
    if (!SafeFile::isDirectory(directory) || SafeFile::isSymbolicLink(directory))
        return;
    // Only this scheme's regular files count and go: anything else in the folder is the user's,
    // and a link there is removed by nobody, let alone followed.
    std::vector<std::pair<BackupName, QString>> backups;
    for (const QString &entry : QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = directory + QLatin1Char('/') + entry;
        if (auto name = parseBackupName(entry); name && SafeFile::isRegularFile(path))
            backups.emplace_back(std::move(*name), path);
    }
    // Newest first by when they were taken, as their names say: a backup keeps the modification
    // time of the Dock file it copied, which says nothing about when it was made.
    std::sort(backups.begin(), backups.end(),
              [](const auto &a, const auto &b) { return isNewerBackup(a.first, b.first); });
    for (size_t i = static_cast<size_t>(std::max(keep, 0)); i < backups.size(); ++i)
        SafeFile::remove(backups[i].second);
}

std::optional<QString> SyncEngine::replaceItem(const QString &source, const QString &destination,
                                               std::optional<double> modificationTime, bool refuseEmptySource)
{
    // Only Dock files are replaced here; none of them is anywhere near this large.
    const SafeFile::IoResult result =
        SafeFile::copyReplacing(source, destination, {refuseEmptySource, modificationTime, kMaxDockFileBytes});
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
        return name + QStringLiteral(" ist noch nicht verfügbar");
    }
    return std::nullopt;
}

// A copy older than the push the meta file records has not arrived yet: deciding on it would
// pull a Dock that is already replaced, or send it back. The Mac that made that push waits for
// nothing: an older copy here is one the sync service kept from another Mac, and only this Mac's
// next push brings its own back.
std::optional<QString> SyncEngine::sharedCopyNotArrived() const
{
    const double recorded = remoteMTime();
    const auto sharedTime = SafeFile::modificationTime(folderFile(kDockFileName));
    if (recorded > 0 && sharedTime && std::trunc(*sharedTime) < recorded &&
        readMeta(QStringLiteral("host")) != m_hostname)
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

std::optional<QString> SyncEngine::restartDock() const
{
    return m_services.dockPreferences ? m_services.dockPreferences->restartAndCheck() : std::nullopt;
}

QDateTime SyncEngine::now() const
{
    return m_services.now ? m_services.now() : QDateTime::currentDateTime();
}

void SyncEngine::notify(const SyncNotice &notice) const
{
    if (m_services.notices)
        m_services.notices(notice);
}

void SyncEngine::removeOwnConflictMarker() const
{
    SafeFile::remove(hostFileURL(kConflictPrefix));
}

// A push killed halfway leaves its temporary files in the shared folder, where every Mac would
// keep them for ever. Whoever pushes next clears the stale ones of the files a push writes.
void SyncEngine::removeStaleTempFiles() const
{
    SafeFile::removeStaleTempFiles(m_syncFolderPath,
                                   {kDockFileName, kMetaFileName, kLogFileName, hostFileName(kStatusPrefix, m_hostname),
                                    hostFileName(kConflictPrefix, m_hostname)},
                                   kStaleTempSeconds);
}

SyncEngine::Result SyncEngine::folderMissing(Mode mode) const
{
    const QString message = QLatin1String("Sync-Ordner nicht gefunden: ") + m_syncFolderPath;
    // Nothing is logged: the log lives in the folder that is missing.
    if (mode != Mode::Status)
        notify({SyncNotice::Kind::FolderMissing, m_syncFolderPath});
    return Result::error(message);
}

SyncEngine::Result SyncEngine::pushFailed(const QString &description) const
{
    const QString message = QLatin1String("PUSH FEHLER: ") + description;
    log(message);
    removeStaleTempFiles();
    notify({SyncNotice::Kind::PushFailed, message});
    return Result::error(message);
}

SyncEngine::Result SyncEngine::pullFailed(const QString &description) const
{
    const QString message = QLatin1String("PULL FEHLER: ") + description;
    log(message);
    notify({SyncNotice::Kind::PullFailed, message});
    return Result::error(message);
}
