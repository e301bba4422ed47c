#include "SyncEngine.h"

#include "DockApply.h"
#include "HostInfo.h"
#include "SafeFile.h"
#include "SharedLog.h"
#include "SyncDecision.h"
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
    const SafeFile::ExclusiveLock lock = lockOperations();
    if (lock.busy())
        return Result::error(operationBusyMessage());
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

struct SyncEngine::Observed {
    SyncDecision::Observation seen;
    DockBytes local;
    DockBytes shared;
    SharedPush push;
    Agreement agreement;
    QByteArray sharedIdentity;
    QString problem; // what cannot be used, for a wait or an error
};

SyncEngine::Observed SyncEngine::observe() const
{
    using SyncDecision::DockState;
    Observed o;
    SyncDecision::Observation &seen = o.seen;
    const QString sharedPath = folderFile(kDockFileName);
    if (const auto missing = unavailableSharedFile()) {
        seen.shared = DockState::Unavailable;
        o.problem = *missing;
    } else if (fileState(sharedPath) != int(CloudFiles::State::Absent)) {
        o.shared = readSharedDock();
        seen.shared = o.shared.layout ? DockState::Valid : DockState::Broken;
        if (!o.shared.layout)
            o.problem = o.shared.problem;
    }
    o.local = readLocalDock();
    if (o.local.layout)
        seen.local = DockState::Valid;
    else if (o.local.bytes || fileState(localDockPath()) != int(CloudFiles::State::Absent))
        seen.local = DockState::Broken;
    if (seen.local == DockState::Broken)
        o.problem = o.local.problem;

    o.push = readSharedPush();
    if (seen.shared == DockState::Absent && o.push.present)
        o.problem = notYetAvailable(kDockFileName);
    o.agreement = readAgreement({&o.shared, &o.local});
    const bool statusPresent = SafeFile::isRegularFile(hostFileURL(kStatusPrefix));
    seen.lastPulled = readLastPulled();
    seen.metaPresent = o.push.present;
    seen.identified = !o.push.dock.isEmpty();
    seen.agreedKnown = statusPresent && o.agreement.layout.has_value();
    seen.hasAgreed = seen.agreedKnown || (statusPresent && !seen.identified && seen.lastPulled != 0);
    seen.localTime = std::trunc(localDockMTime());
    seen.remoteTime = o.push.mtime;
    seen.copyTime = std::trunc(SafeFile::modificationTime(sharedPath).value_or(-1));
    seen.pusherIsThisMac = o.push.host == m_hostname;

    if (o.local.layout && o.shared.layout)
        seen.localSameAsShared = sameForThisMac(*o.local.layout, *o.shared.layout);
    if (seen.agreedKnown) {
        if (o.local.layout)
            seen.localSameAsAgreed = sameForThisMac(*o.local.layout, *o.agreement.layout);
        if (o.shared.layout)
            seen.sharedSameAsAgreed = sameForThisMac(*o.shared.layout, *o.agreement.layout);
    }
    if (o.shared.layout) {
        o.sharedIdentity = o.shared.layout->identity();
        seen.arrival = o.sharedIdentity == o.push.dock             ? SyncDecision::Arrival::Arrived
                       : o.push.history.contains(o.sharedIdentity) ? SyncDecision::Arrival::OnItsWay
                                                                   : SyncDecision::Arrival::Stray;
        if (seen.identified && seen.arrival != SyncDecision::Arrival::Arrived)
            o.problem = notYetAvailable(kDockFileName);
    }
    seen.sharedHasHistory = !o.push.history.isEmpty();
    seen.agreedInShared = seen.agreedKnown && o.push.contains(o.agreement.identity);
    const QByteArray &own = o.agreement.ownPush;
    seen.ownPushPending = !own.isEmpty();
    seen.ownPushInShared = o.push.contains(own);
    seen.copyIsOwnPush = !own.isEmpty() && o.sharedIdentity == own;
    return o;
}

SyncEngine::Result SyncEngine::push()
{
    return share(true);
}

SyncEngine::Result SyncEngine::share(bool overShared)
{
    log(QLatin1String("PUSH: Sende lokales Dock nach ") + lastPathComponent(m_syncFolderPath) + QStringLiteral(" …"));
    // Read first: what is not a Dock is never shared, and nothing is spent on it.
    const double localTime = localDockMTime();
    DockBytes local = readLocalDock();
    if (!local.layout)
        return pushFailed(local.problem);
    // A Mac that keeps its own look shares its apps and folders with the shared copy's look.
    if (!m_services.sameLookOnAllMacs) {
        const DockBytes shared = readSharedDock();
        local.bytes = DockApply::forSharing(*local.bytes, shared.layout ? shared.bytes : std::nullopt);
        local.layout = local.bytes ? DockLayout::parse(*local.bytes, m_services.homeDirectory) : std::nullopt;
        if (!local.layout)
            return pushFailed(notADock(QString(kDockFileName)));
    }
    if (const auto failure = backupLocalDock(QString()))
        return pushFailed(*failure);
    // The push builds on what this Mac agreed with and, when the user chose it over the shared
    // Dock, on the push it replaces: every Mac that holds one of them then sees a successor, not a
    // rival. An automatic push never claims a shared push it did not take.
    const QByteArray identity = local.layout->identity();
    const SharedPush replaced = overShared ? readSharedPush() : SharedPush();
    const Agreement agreed = readAgreement();
    QList<QByteArray> history;
    for (const QList<QByteArray> &part :
         {QList<QByteArray>{replaced.dock, agreed.identity}, replaced.history, agreed.history}) {
        for (const QByteArray &earlier : part) {
            if (!earlier.isEmpty() && earlier != identity && !history.contains(earlier))
                history.append(earlier);
        }
    }
    history = history.mid(0, kMaxHistory);

    // The copy carries the Dock file's modification time, so the shared copy and the meta file agree.
    const QString shared = folderFile(kDockFileName);
    if (const SafeFile::IoResult written = SafeFile::writeAtomically(shared, *local.bytes); !written.ok())
        return pushFailed(written.description);
    if (localTime > 0)
        SafeFile::setModificationTime(shared, localTime);
    recordAgreement(*local.bytes, *local.layout, history, identity);
    // A copy without its meta file is not a push: the other Macs could not tell it arrived. So both
    // files and the status must be written.
    const SafeFile::IoResult meta = SafeFile::writeAtomically(
        folderFile(kMetaFileName), metaContent(localTime, m_hostname, now(), identity, history));
    if (!meta.ok())
        return pushFailed(QLatin1String("Meta-Datei nicht geschrieben: ") + meta.description);
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
    if (const auto missing = unavailableSharedFile())
        return pullFailed(*missing);
    const DockBytes incoming = readSharedDock();
    if (!incoming.layout)
        return pullFailed(incoming.problem);
    const SharedPush recorded = readSharedPush();
    const QByteArray identity = incoming.layout->identity();
    // A copy the recorded push built on is already replaced: the newer one is still coming. Without
    // identities the copy's time tells, unless the recorded push is this Mac's own.
    const double sharedTime = SafeFile::modificationTime(shared).value_or(0);
    const bool olderCopy = recorded.dock.isEmpty() ? recorded.mtime > 0 && std::trunc(sharedTime) < recorded.mtime &&
                                                         recorded.host != m_hostname
                                                   : recorded.history.contains(identity);
    if (olderCopy)
        return pullFailed(notYetAvailable(kDockFileName));

    if (const auto failure = backupLocalDock(QStringLiteral("_vor_pull")))
        return pullFailed(*failure);

    const DockBytes current = readLocalDock();
    const bool sameLayout = current.layout && sameForThisMac(*current.layout, *incoming.layout);
    if (const auto failure = applyLocalDock(*incoming.bytes))
        return pullFailed(*failure);

    // The applied file takes the pushed time recorded in the meta file, so that this Mac and the
    // pusher agree on it (the sync service may not keep modification times); a copy that is not the
    // recorded push keeps its own time.
    const bool recordedCopy =
        recorded.dock.isEmpty() ? std::trunc(sharedTime) >= recorded.mtime : identity == recorded.dock;
    const double appliedTime = recorded.mtime > 0 && recordedCopy ? recorded.mtime : sharedTime;
    if (appliedTime > 0 && SafeFile::exists(localDockPath()))
        SafeFile::setModificationTime(localDockPath(), appliedTime);
    // Restarting the Dock un-minimises the user's windows; a layout it already shows needs none.
    // A Dock that did not come back with the pulled layout is no agreement.
    if (const auto failure = sameLayout ? std::nullopt : restartDock())
        return pullFailed(*failure);
    // Whatever this Mac had pushed is settled now: the pulled Dock builds on it, or the user chose
    // the shared one over it.
    recordAgreement(*incoming.bytes, *incoming.layout,
                    identity == recorded.dock ? recorded.history : QList<QByteArray>{}, {});
    // Without its status the pull is not recorded: the next automatic run would see a conflict.
    if (const auto failure = writeStatus(QStringLiteral("pull")))
        return pullFailed(QStringLiteral("Dock übernommen, aber Status-Datei nicht geschrieben: ") + *failure);
    removeOwnConflictMarker();
    log(sameLayout ? QStringLiteral("PULL: Dock aktualisiert (Anordnung unverändert, kein Neustart)")
                   : QStringLiteral("PULL: Dock aktualisiert und neu gestartet"));
    notify({SyncNotice::Kind::Pulled, {}});
    return Result::pulled();
}

namespace {

// The log line that says why the automatic run pushes or pulls.
QString reasonLine(SyncDecision::Reason reason, const QString &pusher)
{
    using enum SyncDecision::Reason;
    switch (reason) {
    case FirstSync:
        return QStringLiteral("AUTO: Erstmalige Synchronisation → Push");
    case LocalNewer:
        return QStringLiteral("AUTO: Lokales Dock ist aktueller → Push");
    case RestoreOwnPush:
        return QStringLiteral("AUTO: iCloud-Dock ist nicht der eigene letzte Push → Push");
    case SharedNewer:
    case LocalOnly:
        return QLatin1String("AUTO: iCloud-Dock ist aktueller (von ") + pusher + QStringLiteral(") → Pull");
    case Follows:
        return QLatin1String("AUTO: iCloud-Dock von ") + pusher + QStringLiteral(" ersetzt einen anderen Push → Pull");
    case SharedContradicts:
        return QLatin1String("AUTO: iCloud-Dock weicht bei gleicher Zeit ab (von ") + pusher +
               QStringLiteral(") → Pull");
    case BothChanged:
        return QStringLiteral("KONFLIKT: Lokales Dock UND iCloud-Dock wurden seit letztem Sync verändert");
    case Joining:
        return QLatin1String("KONFLIKT: Dieser Mac hat ein anderes Dock als das von ") + pusher +
               QStringLiteral(" geteilte");
    case OwnPushOverwritten:
        return QLatin1String("KONFLIKT: Der eigene Push wurde durch den Push von ") + pusher +
               QStringLiteral(" ersetzt");
    case UnrelatedFirstPush:
        return QLatin1String("KONFLIKT: ") + pusher +
               QStringLiteral(" hat ein Dock geteilt, das nicht auf dem gemeinsamen aufbaut");
    default:
        return {};
    }
}

} // namespace

SyncEngine::Result SyncEngine::autoSync()
{
    const Observed o = observe();
    const SyncDecision::Observation &seen = o.seen;
    log(QLatin1String("AUTO: Lokal=") + roundedText(localDockMTime()) + QLatin1String("  iCloud=") +
        roundedText(seen.remoteTime) + QLatin1String(" (von: ") + o.push.host + QLatin1String(")  MeinLetzterPull=") +
        roundedText(seen.lastPulled));

    const SyncDecision::Action action = SyncDecision::decide(seen);
    switch (action.step) {
    case SyncDecision::Step::Wait:
        // A shared file that is there but not usable now is not a missing one: deciding without it
        // would push this Mac's Dock over everyone's. Wait until the sync service brings it.
        log(QLatin1String("AUTO: ") + o.problem);
        return Result::error(o.problem);
    case SyncDecision::Step::Error:
        log(QLatin1String("AUTO FEHLER: ") + o.problem);
        return Result::error(o.problem);
    case SyncDecision::Step::InSync: {
        // This Mac's own push stays pending while it is the shared one; anything else settled it.
        const bool recordedCopy = o.sharedIdentity == o.push.dock;
        if (seen.localSameAsShared)
            recordAgreement(*o.shared.bytes, *o.shared.layout, recordedCopy ? o.push.history : QList<QByteArray>{},
                            recordedCopy && o.agreement.ownPush == o.push.dock ? o.agreement.ownPush : QByteArray());
        log(QStringLiteral("AUTO: Dock ist bereits synchron"));
        writeStatus(QStringLiteral("sync"));
        removeOwnConflictMarker();
        notify({SyncNotice::Kind::InSync, {}});
        return Result::inSync();
    }
    case SyncDecision::Step::Push:
        log(reasonLine(action.reason, o.push.host));
        return share(false);
    case SyncDecision::Step::Pull:
        log(reasonLine(action.reason, o.push.host));
        return pull();
    case SyncDecision::Step::Conflict:
        return flagConflict(action.cause, reasonLine(action.reason, o.push.host));
    }
    return Result::error(QString());
}

SyncEngine::Result SyncEngine::flagConflict(Result::Cause cause, const QString &line) const
{
    log(line);
    // A conflict already flagged is not announced again on every run.
    const QString marker = hostFileURL(kConflictPrefix);
    if (!SafeFile::exists(marker)) {
        SyncNotice notice{SyncNotice::Kind::Conflict, {}};
        notice.cause = cause;
        notify(notice);
    }
    SafeFile::writeAtomically(marker, QByteArray());
    return Result::conflict(cause);
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
    if (!m_services.sameLookOnAllMacs) {
        // This Mac's look is its own: what differs there is named, not counted.
        const QStringList &look = DockLayout::lookKeys();
        for (const QString &key : std::as_const(computed.settingsChanged)) {
            if (look.contains(key))
                computed.lookKeptLocal.append(key);
        }
        const QStringList kept = computed.lookKeptLocal;
        computed = DockDifference::between(local.withoutLook(), shared.layout->withoutLook());
        computed.lookKeptLocal = kept;
    }
    // Meta file and copy arrive one by one: the meta file names who shared the copy only when it
    // records that copy.
    const SharedPush recorded = readSharedPush();
    if (recorded.dock.isEmpty() || recorded.dock == shared.layout->identity()) {
        computed.pushedBy = difference.pushedBy;
        computed.pushedAt = difference.pushedAt;
    }
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
    const SafeFile::ExclusiveLock lock = lockOperations();
    if (lock.busy())
        return Result::error(operationBusyMessage());
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
    // Pruned only once the apply is done, and never the backup restored: until then it is the one
    // copy of the Dock the user asked for.
    QString taken;
    if (const auto failure = backupLocalDock(QStringLiteral("_vor_restore"), &taken, false))
        return Result::error(QLatin1String("RESTORE FEHLER: ") + *failure);
    auto failure = applyLocalDock(*bytes);
    pruneBackups(10, {name, taken});
    // A Dock that did not come back with the restored layout is no restore either.
    if (!failure)
        failure = restartDock();
    if (failure) {
        log(QLatin1String("RESTORE FEHLER: ") + *failure);
        return Result::error(QLatin1String("RESTORE FEHLER: ") + *failure);
    }
    log(QLatin1String("RESTORE: Sicherung ") + name + QLatin1String(" wiederhergestellt"));
    return Result::restored();
}

QString SyncEngine::hostFileURL(QLatin1StringView prefix) const
{
    // Looked up once per operation: the answer changes only when another Mac takes the name.
    if (!m_hostFileStem)
        m_hostFileStem = hostFileStem(m_syncFolderPath, m_hostname);
    return folderFile(prefix) + *m_hostFileStem + kHostFileSuffix;
}

SafeFile::ExclusiveLock SyncEngine::lockOperations() const
{
    // Local, beside the backups like the log's lock: one in the shared folder would hold up the
    // other Macs, or reach them half-made.
    const QString path = backupsDirectory().isEmpty()
                             ? QString()
                             : QFileInfo(backupsDirectory()).absolutePath() + QLatin1String("/tandrill-operation.lock");
    return SafeFile::ExclusiveLock(path, m_services.operationWait);
}

QString SyncEngine::operationBusyMessage()
{
    return QStringLiteral("Eine andere Tandrill-Aktion läuft gerade");
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
    if (m_syncFolderPath.isEmpty()) // a restore without a sync folder: no log to write to
        return;
    const QByteArray line = logLine(now(), m_hostname, message);
    const QString path = ownLogPath();
    // Writers on this Mac take turns, so a trim never drops a line another one appended meanwhile.
    // The lock file is local: a lock in the shared folder would hold the other Macs up, or be
    // carried to them half-made. Other Macs never write this file.
    const SafeFile::ExclusiveLock lock(logLockPath());
    const auto tail = SafeFile::readRegularFileTail(path, kMaxLogReadBytes);
    const SharedLog::Append plan = SharedLog::planAppend(tail ? tail->bytes : QByteArray(), tail && tail->truncated,
                                                         line, SharedLog::readClearedAt(m_syncFolderPath));
    const auto write = [&] {
        return plan.rewrite ? SafeFile::writeAtomically(path, plan.bytes) : SafeFile::append(path, plan.bytes);
    };
    // Only a folder the user has just named may be made here; the folder is checked only then.
    if (write().errorCode == ENOENT && m_services.createSyncFolder) {
        ensureDirectory(m_syncFolderPath);
        write();
    }
}

void SyncEngine::clearLog() const
{
    const SafeFile::ExclusiveLock lock(logLockPath());
    SafeFile::writeAtomically(folderFile(kLogClearedFileName), SharedLog::clearedContent(now()));
    const QString path = ownLogPath();
    if (SafeFile::isRegularFile(path))
        SafeFile::writeAtomically(path, QByteArray());
}

QString SyncEngine::ownLogPath() const
{
    return hostFileURL(kLogPrefix); // named like the status file, so it follows that name's rules
}

std::optional<QString> SyncEngine::backupLocalDock(const QString &suffix, QString *taken, bool prune) const
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
    // Names rank the backups, for pruning and for the list, so each new one must rank above all
    // that are there. Within one second it gets "-2", "-3", … before the extension. A clock behind
    // the newest name (a trip west, a clock that was ahead and was put right) would rank it below
    // the older ones, the first to be pruned: it then takes that name's time and the next counter,
    // and the names keep the order the backups were taken in. Names are parsed by hand: a QDir name
    // filter compiles a regular expression on every call, which cost more than the backup itself.
    std::optional<BackupName> newest;
    for (const QString &entry : QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        auto other = parseBackupName(entry);
        if (other && (!newest || isNewerBackup(*other, *newest)))
            newest = std::move(other);
    }
    if (newest && !isNewerBackup(name, *newest) && newest->counter < kMaxBackupCounter) {
        name.stamp = newest->stamp;
        name.counter = newest->counter + 1;
    }
    const SafeFile::CopyOptions options{false, std::nullopt, kMaxDockFileBytes};
    for (const qint64 first = name.counter; name.counter < first + 1000; ++name.counter) {
        if (name.counter > kMaxBackupCounter)
            break;
        const SafeFile::IoResult copied =
            SafeFile::copyExclusive(dock, directory + QLatin1Char('/') + backupFileName(name), options);
        if (copied.ok()) {
            if (taken)
                *taken = backupFileName(name);
            if (prune)
                pruneBackups(10, {backupFileName(name)});
            return std::nullopt;
        }
        if (copied.errorCode != EEXIST)
            return copied.description;
    }
    return SafeFile::IoResult::failure(EEXIST, directory + QLatin1Char('/') + backupFileName(name)).description;
}

void SyncEngine::pruneBackups(int keep, const QStringList &kept) const
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
    const auto isKept = [&kept](const auto &backup) { return kept.contains(backupFileName(backup.first)); };
    auto room = std::max(keep, 0) - std::count_if(backups.begin(), backups.end(), isKept);
    for (const auto &backup : backups) {
        if (isKept(backup))
            continue;
        if (room > 0)
            --room;
        else
            SafeFile::remove(backup.second);
    }
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
    else if (!(dock.layout = DockLayout::parse(*dock.bytes, m_services.homeDirectory)))
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
    else if (!(dock.layout = DockLayout::parse(*dock.bytes, m_services.homeDirectory)))
        dock.problem = notADock(QString(kDockFileName));
    return dock;
}

std::optional<QString> SyncEngine::applyLocalDock(const QByteArray &dockBytes) const
{
    // Another Mac's Dock is made this Mac's first: its bookkeeping, its home and, when asked, its look.
    const auto bytes =
        DockApply::forThisMac(dockBytes, readLocalDock().bytes, m_services.homeDirectory, m_services.sameLookOnAllMacs);
    if (!bytes)
        return notADock(QString(kDockFileName));
    if (m_services.dockPreferences)
        return m_services.dockPreferences->import(*bytes);
    ensureDirectory(QFileInfo(localDockPath()).absolutePath());
    const SafeFile::IoResult written = SafeFile::writeAtomically(localDockPath(), *bytes);
    return written.ok() ? std::nullopt : std::optional<QString>(written.description);
}

SyncEngine::SharedPush SyncEngine::readSharedPush() const
{
    SharedPush push;
    push.host = QStringLiteral("unbekannt");
    const auto bytes = SafeFile::readRegularFile(folderFile(kMetaFileName), kMaxKeyValueFileBytes);
    const auto values = bytes ? parseKeyValues(*bytes) : std::nullopt;
    if (!values)
        return push;
    push.mtime = readNumber(values->value(QStringLiteral("mtime")));
    push.host = values->value(QStringLiteral("host"), push.host);
    const QByteArray dock = values->value(QStringLiteral("dock")).toLatin1();
    if (DockLayout::isKnownIdentity(dock)) {
        push.dock = dock;
        push.history = parseHistory(values->value(QStringLiteral("history")));
    }
    push.present = push.mtime != 0 || !push.dock.isEmpty();
    return push;
}

bool SyncEngine::sameForThisMac(const DockLayout &a, const DockLayout &b) const
{
    // A Mac that keeps its own look compares only what the Dock holds.
    return m_services.sameLookOnAllMacs ? a == b : a.withoutLook() == b.withoutLook();
}

// The records live beside the backups folder, one pair per sync folder: the agreed Dock's bytes
// and a small key=value file of identities.
QString SyncEngine::recordPath(QLatin1StringView suffix) const
{
    if (backupsDirectory().isEmpty())
        return {};
    const QByteArray folder = QDir::cleanPath(m_syncFolderPath).toUtf8();
    return QFileInfo(backupsDirectory()).absolutePath() + QLatin1String("/agreed-") +
           QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16)) + suffix;
}

SyncEngine::Agreement SyncEngine::readAgreement(std::initializer_list<const DockBytes *> parsed) const
{
    Agreement agreement;
    auto bytes = SafeFile::readRegularFile(recordPath(QLatin1StringView(".plist")), kMaxDockFileBytes);
    if (!bytes) {
        // Where earlier versions kept it.
        const QByteArray folder = QDir::cleanPath(m_syncFolderPath).toUtf8();
        bytes = SafeFile::readRegularFile(
            backupsDirectory() + QLatin1String("/.agreed-") +
                QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16)),
            kMaxDockFileBytes);
    }
    // In sync, the agreed Dock is the shared copy byte for byte: parsed once is enough.
    for (const DockBytes *dock : parsed) {
        if (bytes && dock->layout && dock->bytes == bytes) {
            agreement.layout = dock->layout;
            break;
        }
    }
    if (bytes && !agreement.layout)
        agreement.layout = DockLayout::parse(*bytes, m_services.homeDirectory);
    if (!agreement.layout)
        return agreement;
    agreement.identity = agreement.layout->identity();
    const auto text = SafeFile::readRegularFile(recordPath(QLatin1StringView(".txt")), kMaxKeyValueFileBytes);
    const auto values = text ? parseKeyValues(*text) : std::nullopt;
    // The identities belong to the Dock they were written with; a record cut off between its two
    // writes has none.
    if (values && values->value(QStringLiteral("dock")).toLatin1() == agreement.identity) {
        agreement.history = parseHistory(values->value(QStringLiteral("history")));
        const QByteArray own = values->value(QStringLiteral("own_push")).toLatin1();
        if (DockLayout::isKnownIdentity(own))
            agreement.ownPush = own;
    }
    return agreement;
}

void SyncEngine::recordAgreement(const QByteArray &bytes, const DockLayout &layout, const QList<QByteArray> &history,
                                 const QByteArray &ownPush) const
{
    const QString dockPath = recordPath(QLatin1StringView(".plist"));
    if (dockPath.isEmpty())
        return;
    ensureDirectory(QFileInfo(dockPath).absolutePath());
    if (SafeFile::readRegularFile(dockPath, kMaxDockFileBytes) != bytes)
        SafeFile::writeAtomically(dockPath, bytes);
    const QByteArray text =
        "dock=" + layout.identity() + "\nhistory=" + history.mid(0, kMaxHistory).join(',') + "\nown_push=" + ownPush;
    const QString textPath = recordPath(QLatin1StringView(".txt"));
    if (SafeFile::readRegularFile(textPath, kMaxKeyValueFileBytes) != text)
        SafeFile::writeAtomically(textPath, text);
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
                                   {kDockFileName, kMetaFileName, kLogFileName, QFileInfo(ownLogPath()).fileName(),
                                    QFileInfo(hostFileURL(kStatusPrefix)).fileName(),
                                    QFileInfo(hostFileURL(kConflictPrefix)).fileName()},
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
