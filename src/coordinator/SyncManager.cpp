#include "SyncManager.h"

#include "BookmarkManager.h"
#include "ChangeWatcher.h"
#include "FolderSnapshot.h"
#include "SafeFile.h"
#include "Scheduler.h"
#include "SerialWorker.h"
#include "SyncFormat.h"
#include "platform/DockPreferences.h"
#include "platform/FolderPicker.h"
#include "platform/LoginItem.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

using namespace std::chrono_literals;

namespace {

const QString kEmDash = QStringLiteral("—");
const QString kFolderKey = QStringLiteral("TandrillFolderPath");
const QString kOnboardingKey = QStringLiteral("TandrillOnboardingComplete");
const QString kSyncOnStartKey = QStringLiteral("TandrillSyncOnStart");
const QString kSyncOnChangeKey = QStringLiteral("TandrillSyncOnChange");
const QString kHostNamesKey = QStringLiteral("TandrillHostCustomNames");
const QString kIntervalKey = QStringLiteral("TandrillIntervalHours");
const QString kDaemonActiveKey = QStringLiteral("TandrillAutoSyncActive");
const QString kLastSyncKey = QStringLiteral("TandrillLastSuccessfulSync");
const QString kConflictCauseKey = QStringLiteral("TandrillConflictCause");
const QString kIgnoredConflictKey = QStringLiteral("TandrillIgnoredConflict");
// The set-up speaks of up to four Macs; a fifth is welcome, and told so.
constexpr qsizetype kMacsPromised = 4;
const QString kSameLookKey = QStringLiteral("TandrillSameLook");

QString startText(SyncEngine::Mode mode)
{
    switch (mode) {
    case SyncEngine::Mode::Auto:
        return QStringLiteral("Syncing…");
    case SyncEngine::Mode::Push:
        return QStringLiteral("Uploading…");
    case SyncEngine::Mode::Pull:
        return QStringLiteral("Downloading…");
    case SyncEngine::Mode::Status:
        return QStringLiteral("…");
    }
    return QString();
}

QString endText(const SyncStatus &status)
{
    switch (status.outcome) {
    case SyncStatus::Outcome::Conflict:
        return QStringLiteral("⚠ Konflikt");
    case SyncStatus::Outcome::Error:
        return QStringLiteral("⚠ ") + status.errorMessage;
    case SyncStatus::Outcome::FolderMissing:
        return QStringLiteral("⚠ Sync-Ordner nicht gefunden");
    case SyncStatus::Outcome::Done:
        break;
    }
    return QStringLiteral("✓ Fertig");
}

SyncStatus finished(SyncEngine::Mode mode, const SyncEngine::Result &result)
{
    SyncStatus status{SyncStatus::Phase::Finished, mode, SyncStatus::Outcome::Done};
    if (result.kind() == SyncEngine::Result::Kind::Conflict) {
        status.outcome = SyncStatus::Outcome::Conflict;
        status.cause = result.cause();
    } else if (result.kind() == SyncEngine::Result::Kind::Error) {
        status.outcome = SyncStatus::Outcome::Error;
        status.errorMessage = result.message();
    }
    return status;
}

// Asked on the worker threads only: the folder may sit on a drive that is slow to answer.
bool folderPresent(const QString &folder)
{
    return QFileInfo(folder).isDir();
}

// The engine's words for a shared file that is there but cannot be read yet, alone or after
// "PULL FEHLER: ".
bool waitsForSharedFile(const QString &message)
{
    return message.endsWith(QStringLiteral(" ist noch nicht verfügbar"));
}

// This Mac's Dock and the shared one by their layouts' identities; empty when either cannot be
// read. An ignored conflict is remembered by this pair. Asked on a worker thread.
QString dockPair(const SyncEngine &engine, DockPreferences *preferences)
{
    const std::optional<QByteArray> local =
        preferences ? preferences->exportCurrent()
                    : SafeFile::readRegularFile(engine.localDockPath(), SyncFormat::kMaxDockFileBytes);
    const std::optional<QByteArray> shared =
        SafeFile::readRegularFile(engine.folderFile(SyncFormat::kDockFileName), SyncFormat::kMaxDockFileBytes);
    const std::optional<DockLayout> here = local ? DockLayout::parse(*local) : std::nullopt;
    const std::optional<DockLayout> there = shared ? DockLayout::parse(*shared) : std::nullopt;
    if (!here || !there)
        return QString();
    QByteArray pair = here->identity();
    pair += ' ';
    pair += there->identity();
    return QString::fromLatin1(pair);
}

// Display names as stored: a UTF-8 JSON object of strings. None when the data is anything else.
std::optional<HostNameMap> decodeHostNames(const QByteArray &data)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    HostNameMap names;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString())
            return std::nullopt;
        names.insert(it.key(), it.value().toString());
    }
    return names;
}

bool sameHosts(const QList<HostInfo> &a, const QList<HostInfo> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const HostInfo &x, const HostInfo &y) {
        return x.hostname == y.hostname && x.lastAction == y.lastAction && x.lastTime == y.lastTime &&
               x.isThisMac == y.isThisMac && x.inConflict == y.inConflict && x.machine == y.machine;
    });
}

bool sameLog(const QList<LogEntry> &a, const QList<LogEntry> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const LogEntry &x, const LogEntry &y) { return x.raw == y.raw; });
}

// Runs one engine operation and keeps what it left behind, so that the change watcher takes the
// run's own writes for no change.
SyncEngine::Result runRecorded(const SyncEngine &engine, const QString &dockPath, std::optional<WatchedState> &last,
                               const std::function<SyncEngine::Result()> &operation)
{
    const WatchedState before = WatchedState::read(engine.syncFolderPath(), dockPath);
    const SyncEngine::Result result = operation();
    using Kind = SyncEngine::Result::Kind;
    last = stateAfterRun(before, WatchedState::read(engine.syncFolderPath(), dockPath), result.kind() == Kind::Pushed,
                         result.kind() == Kind::Pulled || result.kind() == Kind::Restored);
    return result;
}

} // namespace

SyncManager::SyncManager(CoordinatorServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_reader(std::make_unique<FolderSnapshotReader>()),
      m_engineWorker(std::make_unique<SerialWorker>(QStringLiteral("tandrill-engine"))),
      m_folderWorker(std::make_unique<SerialWorker>(QStringLiteral("tandrill-folder"))),
      m_lastRunState(std::make_shared<std::optional<WatchedState>>()), m_lastSyncLocal(kEmDash),
      m_lastSyncRemote(kEmDash), m_remoteHostname(kEmDash)
{
    Q_ASSERT(m_services.settings && m_services.scheduler);
    QSettings &settings = *m_services.settings;

    m_syncFolderPath = settings.value(kFolderKey).toString();
    m_isOnboardingComplete = settings.value(kOnboardingKey, false).toBool();
    setSyncOnStart(settings.value(kSyncOnStartKey, false).toBool());
    // Every engine is made from these services, so each one keeps the look as set.
    m_services.engine.sameLookOnAllMacs = settings.value(kSameLookKey, true).toBool();
    setSyncOnChange(settings.value(kSyncOnChangeKey, true).toBool());
    const int storedInterval = settings.value(kIntervalKey, 1).toInt();
    setIntervalHours(storedInterval > 1 ? storedInterval : 1);
    if (settings.contains(kHostNamesKey)) {
        if (const auto names = decodeHostNames(settings.value(kHostNamesKey).toByteArray()))
            setHostCustomNames(*names);
    }
    setLaunchAtLogin(m_services.loginItem && m_services.loginItem->status() == LoginItem::Status::Enabled);
    m_lastSuccessfulSync = settings.value(kLastSyncKey, kEmDash).toString();
    m_conflictCause = ConflictCause(settings.value(kConflictCauseKey, int(ConflictCause::None)).toInt());

    if (m_isOnboardingComplete && !m_syncFolderPath.isEmpty() && m_services.bookmarks) {
        // A folder that was moved or renamed is followed through its bookmark.
        if (const auto resolved = m_services.bookmarks->resolveBookmark(); resolved && *resolved != m_syncFolderPath) {
            m_syncFolderPath = *resolved;
            settings.setValue(kFolderKey, m_syncFolderPath);
        }
    }
    m_watcher = std::make_unique<ChangeWatcher>(m_services.scheduler);
    m_watcher->onSettled = [this](ChangeWatcher::Side) { changeSettled(); };
    m_watcher->onActivity = [this] { requestRefresh(AllParts); };
    watchFolder();
    if (m_isOnboardingComplete) {
        registerPresence(makeEngine());
        refreshAll();
        if (settings.value(kDaemonActiveKey, false).toBool())
            startDaemon();
        if (m_syncOnStart)
            m_services.scheduler->singleShot(kSyncOnStartDelay, this, [this] { performSync(SyncEngine::Mode::Auto); });
    }
}

SyncManager::~SyncManager()
{
    m_autoSyncTimer.reset();
    m_refreshTimer.reset();
    m_watcher.reset();
    // Let a running engine job finish before the folder access ends.
    m_engineWorker.reset();
    m_folderWorker.reset();
    if (m_services.bookmarks)
        m_services.bookmarks->stopAccessing();
}

// ---- Settings and published state -------------------------------------------------------------

void SyncManager::setIntervalHours(int hours)
{
    const bool changed = hours != m_intervalHours;
    m_intervalHours = hours;
    m_services.settings->setValue(kIntervalKey, hours);
    if (changed)
        emit intervalHoursChanged(hours);
}

void SyncManager::setSyncOnStart(bool enabled)
{
    const bool changed = enabled != m_syncOnStart;
    m_syncOnStart = enabled;
    m_services.settings->setValue(kSyncOnStartKey, enabled);
    if (changed)
        emit syncOnStartChanged(enabled);
}

void SyncManager::setSameLookOnAllMacs(bool enabled)
{
    m_services.settings->setValue(kSameLookKey, enabled);
    if (enabled == m_services.engine.sameLookOnAllMacs)
        return;
    m_services.engine.sameLookOnAllMacs = enabled;
    emit sameLookOnAllMacsChanged(enabled);
    // The Dock compares otherwise now.
    requestRefresh(DockForcedPart);
}

void SyncManager::setSyncOnChange(bool enabled)
{
    const bool changed = enabled != m_syncOnChange;
    m_syncOnChange = enabled;
    m_services.settings->setValue(kSyncOnChangeKey, enabled);
    if (changed)
        emit syncOnChangeChanged(enabled);
}

void SyncManager::setWindowVisible(bool visible)
{
    if (visible == m_windowVisible)
        return;
    m_windowVisible = visible;
    updateSafetyRefresh();
    // What changed while nobody looked shows as the window opens.
    if (visible)
        refreshAll();
}

void SyncManager::setLaunchAtLogin(bool enabled)
{
    if (enabled == m_launchAtLogin)
        return;
    // A refused registration keeps the switch off and shows the system's message beside it.
    if (m_services.loginItem) {
        LoginItem &item = *m_services.loginItem;
        const bool done = enabled ? item.registerItem() : item.unregisterItem();
        m_loginItemError = done ? QString() : item.lastError();
        if (!done && enabled && item.isAvailable()) {
            emit launchAtLoginChanged(m_launchAtLogin);
            return;
        }
    }
    m_launchAtLogin = enabled;
    emit launchAtLoginChanged(enabled);
}

void SyncManager::setHostCustomNames(const HostNameMap &names)
{
    const bool changed = names != m_hostCustomNames;
    m_hostCustomNames = names;
    storeHostCustomNames();
    if (changed)
        emit hostCustomNamesChanged();
}

void SyncManager::storeHostCustomNames()
{
    QJsonObject object;
    for (auto it = m_hostCustomNames.cbegin(); it != m_hostCustomNames.cend(); ++it)
        object.insert(it.key(), it.value());
    m_services.settings->setValue(kHostNamesKey, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

#define TANDRILL_SETTER(Name, Type, member, signal)                                                                    \
    void SyncManager::Name(Type value)                                                                                 \
    {                                                                                                                  \
        if (member == value)                                                                                           \
            return;                                                                                                    \
        member = value;                                                                                                \
        emit signal(member);                                                                                           \
    }

TANDRILL_SETTER(setDaemonRunning, bool, m_daemonRunning, daemonRunningChanged)
TANDRILL_SETTER(setLastSyncLocal, const QString &, m_lastSyncLocal, lastSyncLocalChanged)
TANDRILL_SETTER(setLastSyncRemote, const QString &, m_lastSyncRemote, lastSyncRemoteChanged)
TANDRILL_SETTER(setRemoteHostname, const QString &, m_remoteHostname, remoteHostnameChanged)
TANDRILL_SETTER(setIsSyncing, bool, m_isSyncing, isSyncingChanged)
TANDRILL_SETTER(setStatusMessage, const QString &, m_statusMessage, statusMessageChanged)
TANDRILL_SETTER(setSyncFolderPath, const QString &, m_syncFolderPath, syncFolderPathChanged)
TANDRILL_SETTER(setIsOnboardingComplete, bool, m_isOnboardingComplete, isOnboardingCompleteChanged)
#undef TANDRILL_SETTER

void SyncManager::setSyncFolderMissing(bool missing)
{
    if (missing == m_syncFolderMissing)
        return;
    m_syncFolderMissing = missing;
    emit syncFolderMissingChanged(missing);
    updateProblem();
}

void SyncManager::setConflictDetected(bool conflict)
{
    if (conflict == m_conflictDetected)
        return;
    m_conflictDetected = conflict;
    emit conflictDetectedChanged(conflict);
    updateProblem();
}

void SyncManager::updateProblem()
{
    const SyncProblem problem = m_syncFolderMissing  ? SyncProblem::FolderMissing
                                : m_conflictDetected ? SyncProblem::Conflict
                                                     : m_runProblem;
    const QString message =
        problem == SyncProblem::SharedUnavailable || problem == SyncProblem::SyncFailed ? m_runMessage : QString();
    if (problem == m_syncProblem && message == m_problemMessage)
        return;
    m_syncProblem = problem;
    m_problemMessage = message;
    // A problem that is over may be told again when it comes back.
    if (problem == SyncProblem::None)
        m_toldProblem = {SyncProblem::None, ConflictCause::None};
    emit syncProblemChanged();
}

void SyncManager::noteSuccessfulSync()
{
    const QDateTime now = m_services.engine.now ? m_services.engine.now() : QDateTime::currentDateTime();
    const QString text = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    m_services.settings->setValue(kLastSyncKey, text);
    if (text == m_lastSuccessfulSync)
        return;
    m_lastSuccessfulSync = text;
    emit lastSuccessfulSyncChanged(text);
}

void SyncManager::setSyncStatus(const SyncStatus &status)
{
    if (status == m_syncStatus)
        return;
    m_syncStatus = status;
    emit syncStatusChanged();
}

void SyncManager::setLogLines(const QList<LogEntry> &lines)
{
    if (sameLog(lines, m_logLines))
        return;
    m_logLines = lines;
    emit logLinesChanged();
}

void SyncManager::setConnectedHosts(const QList<HostInfo> &hosts)
{
    if (sameHosts(hosts, m_connectedHosts))
        return;
    m_connectedHosts = hosts;
    emit connectedHostsChanged();
}

// ---- Identity, paths, engines -----------------------------------------------------------------

bool SyncManager::nameUsedByAnotherMac() const
{
    const QString mine = m_services.engine.machine;
    return !mine.isEmpty() && std::any_of(m_connectedHosts.begin(), m_connectedHosts.end(), [&mine](const HostInfo &h) {
        return h.isThisMac && !h.machine.isEmpty() && h.machine != mine;
    });
}

QString SyncManager::myHostname()
{
    if (!m_myHostname)
        m_myHostname = m_services.hostName ? m_services.hostName() : QString();
    return *m_myHostname;
}

std::optional<SyncEngine> SyncManager::makeEngine()
{
    if (m_syncFolderPath.isEmpty())
        return std::nullopt;
    return SyncEngine(m_syncFolderPath, myHostname(), m_services.engine);
}

std::optional<SyncEngine> SyncManager::makeEngine(const CollectedNotices &notices)
{
    if (m_syncFolderPath.isEmpty())
        return std::nullopt;
    EngineServices services = m_services.engine;
    // Appended on the engine worker, read on this thread once the run's result has come back.
    services.notices = [notices](const SyncNotice &notice) { notices->append(notice); };
    return SyncEngine(m_syncFolderPath, myHostname(), services);
}

QString SyncManager::backupFolderURL() const
{
    return m_services.engine.backupsDirectory;
}

bool SyncManager::loginItemRequiresApproval() const
{
    return m_services.loginItem && m_services.loginItem->status() == LoginItem::Status::RequiresApproval;
}

bool SyncManager::loginItemAvailable() const
{
    return m_services.loginItem && m_services.loginItem->isAvailable();
}

LoginItem::Availability SyncManager::loginItemAvailability() const
{
    return m_services.loginItem ? m_services.loginItem->availability() : LoginItem::Availability::NotABundle;
}

void SyncManager::setNotificationsRefused(bool refused)
{
    if (refused == m_notificationsRefused)
        return;
    m_notificationsRefused = refused;
    emit notificationsRefusedChanged(refused);
}

bool SyncManager::canOpenLoginItemSettings() const
{
    return m_services.loginItem && m_services.loginItem->canOpenSystemSettings();
}

void SyncManager::openLoginItemSettings()
{
    if (canOpenLoginItemSettings())
        m_services.loginItem->openSystemSettings();
}

QString SyncManager::metaFilePath() const
{
    return m_syncFolderPath + QLatin1Char('/') + SyncFormat::kMetaFileName;
}

QString SyncManager::conflictFilePath()
{
    return hostFilePath(m_syncFolderPath, SyncFormat::kConflictPrefix, myHostname());
}

QString SyncManager::statusFilePath(const QString &hostname) const
{
    return hostFilePath(m_syncFolderPath, SyncFormat::kStatusPrefix, hostname);
}

bool SyncManager::hasPendingWork() const
{
    return m_engineJobs > 0 || m_folderJobs > 0 || m_refreshInFlight || m_pendingRefreshParts != 0;
}

std::optional<std::chrono::milliseconds> SyncManager::autoSyncPeriod() const
{
    return m_autoSyncTimer ? m_autoSyncPeriod : std::nullopt;
}

QString SyncManager::localDockPath() const
{
    return m_services.engine.homeDirectory + QLatin1String("/Library/Preferences/com.apple.dock.plist");
}

// ---- Folder set-up, change, reset -------------------------------------------------------------

void SyncManager::pickSyncFolder(std::function<void(std::optional<QString>)> completion)
{
    if (m_services.folderPicker)
        m_services.folderPicker->pickFolder(std::move(completion));
    else
        completion(std::nullopt);
}

void SyncManager::storeFolderPath(const QString &path)
{
    setSyncFolderPath(path);
    m_services.settings->setValue(kFolderKey, path);
    watchFolder();
}

void SyncManager::watchFolder()
{
    m_watcher->setPaths(m_isOnboardingComplete ? m_syncFolderPath : QString(), localDockPath());
    updateSafetyRefresh();
}

void SyncManager::createSyncFolder(std::function<void()> then)
{
    // A new folder, or the same one after a reset: everything shown must be read anew.
    FolderSnapshotReader *reader = m_reader.get();
    m_folderWorker->post([reader] { reader->invalidate(); });

    const QString folder = m_syncFolderPath;
    ++m_folderJobs;
    m_folderWorker->run<bool>(
        this, [folder] { return QDir().mkpath(folder); },
        [this, then = std::move(then)](bool) {
            --m_folderJobs;
            if (then)
                then();
        });
}

void SyncManager::completeSetup(const QString &folder)
{
    if (m_services.bookmarks)
        m_services.bookmarks->saveBookmark(folder);
    m_services.settings->setValue(kOnboardingKey, true);
    setIsOnboardingComplete(true);
    storeFolderPath(QDir::cleanPath(folder));
    // The engine only works in a folder that is there: announce this Mac once it exists.
    createSyncFolder([this] { registerPresence(makeEngine()); });
    refreshAll();
    // The wizard promises that syncing runs in the background from here on.
    if (!m_daemonRunning)
        startDaemon();
}

void SyncManager::changeSyncFolder(const QString &folder)
{
    if (m_services.bookmarks) {
        m_services.bookmarks->stopAccessing();
        m_services.bookmarks->saveBookmark(folder);
    }
    storeFolderPath(QDir::cleanPath(folder));
    // Nothing of the old folder may linger while the new one is read: an empty folder has no
    // Macs, no log and no shared Dock.
    forgetFolderState();
    createSyncFolder();
    refreshAll();
}

void SyncManager::forgetFolderState()
{
    ++m_conflictGeneration;
    setConnectedHosts({});
    setLogLines({});
    setConflictDetected(false);
    setLastSyncRemote(kEmDash);
    setRemoteHostname(kEmDash);
    setSyncFolderMissing(false);
}

bool SyncManager::followMovedFolder()
{
    if (!m_services.bookmarks)
        return false;
    const std::optional<QString> resolved = m_services.bookmarks->resolveBookmark();
    if (!resolved || resolved->isEmpty() || QDir::cleanPath(*resolved) == m_syncFolderPath)
        return false;
    storeFolderPath(QDir::cleanPath(*resolved));
    FolderSnapshotReader *reader = m_reader.get();
    m_folderWorker->post([reader] { reader->invalidate(); });
    refreshAll();
    return true;
}

void SyncManager::announceFollowedFolder()
{
    postNotice({SyncNotice::Kind::FolderFollowed, m_syncFolderPath});
    if (std::optional<SyncEngine> engine = makeEngine()) {
        const QString line = QLatin1String("ORDNER: Sync-Ordner umbenannt oder verschoben, jetzt: ") +
                             QFileInfo(m_syncFolderPath).fileName();
        runEngineJob([engine = std::move(*engine), line] { engine.log(line); }, {});
    }
}

void SyncManager::resetAllSettings()
{
    if (m_daemonRunning)
        stopDaemon();
    if (m_launchAtLogin) {
        if (m_services.loginItem)
            m_services.loginItem->unregisterItem();
        setLaunchAtLogin(false);
    }
    if (m_services.bookmarks)
        m_services.bookmarks->clearBookmark();

    QSettings &settings = *m_services.settings;
    for (const QString &key :
         {kFolderKey, kOnboardingKey, kSyncOnStartKey, kSyncOnChangeKey, kHostNamesKey, kIntervalKey, kDaemonActiveKey,
          kLastSyncKey, kConflictCauseKey, kIgnoredConflictKey, kSameLookKey})
        settings.remove(key);
    settings.sync();

    setSyncFolderPath(QString());
    setIsOnboardingComplete(false);
    watchFolder();
    setSyncOnChange(true);
    setConnectedHosts({});
    setHostCustomNames({});
    setSyncOnStart(false);
    setSameLookOnAllMacs(true);
    settings.remove(kSameLookKey);
    setLogLines({});
    setConflictDetected(false);
    setDaemonRunning(false);
    setLastSyncLocal(kEmDash);
    setLastSyncRemote(kEmDash);
    setRemoteHostname(kEmDash);
    setStatusMessage(QString());
    setSyncStatus({});
    setSyncFolderMissing(false);
    m_runProblem = SyncProblem::None;
    m_conflictCause = ConflictCause::None;
    updateProblem();
    if (m_lastSuccessfulSync != kEmDash) {
        m_lastSuccessfulSync = kEmDash;
        emit lastSuccessfulSyncChanged(m_lastSuccessfulSync);
    }
    if (!(m_dockDifference == DockDifference())) {
        m_dockDifference = DockDifference();
        emit dockDifferenceChanged();
    }
}

void SyncManager::openBackupFolder()
{
    const QString folder = backupFolderURL();
    QDir().mkpath(folder);
    if (m_services.openFolder)
        m_services.openFolder(folder);
}

// ---- Sync actions ------------------------------------------------------------------------------

void SyncManager::runEngineJob(std::function<void()> job, std::function<void()> done)
{
    ++m_engineJobs;
    m_engineWorker->post([this, job = std::move(job), done = std::move(done)]() mutable {
        job();
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                --m_engineJobs;
                if (done)
                    done();
            },
            Qt::QueuedConnection);
    });
}

std::optional<SyncEngine> SyncManager::beginUserRun(SyncEngine::Mode mode, const QString &message,
                                                    const CollectedNotices &notices)
{
    if (m_isSyncing)
        return std::nullopt;
    std::optional<SyncEngine> engine = makeEngine(notices);
    if (!engine)
        return std::nullopt;
    setIsSyncing(true);
    setStatusMessage(message);
    setSyncStatus({SyncStatus::Phase::Running, mode, SyncStatus::Outcome::Done});
    return engine;
}

void SyncManager::performSync(SyncEngine::Mode mode)
{
    auto notices = std::make_shared<QList<SyncNotice>>();
    std::optional<SyncEngine> engine = beginUserRun(mode, startText(mode), notices);
    if (!engine)
        return;
    if (mode == SyncEngine::Mode::Push || mode == SyncEngine::Mode::Pull)
        dismissConflict();
    runSync(std::move(*engine), mode, notices, true);
}

void SyncManager::runSync(SyncEngine engine, SyncEngine::Mode mode, CollectedNotices notices, bool mayFollowFolder,
                          const QString &followedFolder)
{
    // A vanished folder is never created again here: the engine runs only against a folder that
    // is there, otherwise the sync fails and the bookmark gets one chance to find the folder.
    auto result = std::make_shared<std::optional<SyncEngine::Result>>();
    runEngineJob(
        [engine = std::move(engine), mode, result, last = m_lastRunState, dockPath = localDockPath()]() mutable {
            if (folderPresent(engine.syncFolderPath()))
                *result = runRecorded(engine, dockPath, *last, [&] { return engine.run(mode); });
        },
        [this, mode, result, notices, mayFollowFolder, followedFolder] {
            ++m_engineRuns;
            if (*result && (*result)->kind() == SyncEngine::Result::Kind::Pulled)
                m_watcher->ownDockWritten();
            if (!*result) {
                setSyncFolderMissing(true);
                if (mayFollowFolder && followMovedFolder()) {
                    announceFollowedFolder();
                    auto fresh = std::make_shared<QList<SyncNotice>>();
                    if (std::optional<SyncEngine> moved = makeEngine(fresh)) {
                        runSync(std::move(*moved), mode, fresh, false, m_syncFolderPath);
                        return;
                    }
                }
                takeOutcome(std::nullopt, {}, true);
                SyncStatus status{SyncStatus::Phase::Finished, mode, SyncStatus::Outcome::FolderMissing};
                status.followedFolder = followedFolder;
                finishSync(status);
                return;
            }
            setSyncFolderMissing(false);
            takeOutcome(*result, *notices, true);
            SyncStatus status = finished(mode, **result);
            status.followedFolder = followedFolder;
            finishSync(status);
        });
}

void SyncManager::postNotice(const SyncNotice &notice)
{
    if (m_services.engine.notices)
        m_services.engine.notices(notice);
}

void SyncManager::takeOutcome(const std::optional<SyncEngine::Result> &result, const QList<SyncNotice> &notices,
                              bool userRequested)
{
    using Kind = SyncEngine::Result::Kind;
    const Kind kind = result ? result->kind() : Kind::Error;
    if (result && kind != Kind::Error && kind != Kind::StatusWritten) {
        m_runProblem = SyncProblem::None;
        m_runMessage.clear();
    }
    if (kind == Kind::Pushed || kind == Kind::Pulled || kind == Kind::InSync || kind == Kind::Restored) {
        noteSuccessfulSync();
        // Both Docks agree now: a conflict ignored before is over.
        m_services.settings->remove(kIgnoredConflictKey);
    } else if (kind == Kind::Conflict) {
        const ConflictCause cause =
            result->cause() == ConflictCause::None ? ConflictCause::BothChanged : result->cause();
        m_services.settings->setValue(kConflictCauseKey, int(cause));
        const bool causeChanged = cause != m_conflictCause;
        m_conflictCause = cause;
        setConflictDetected(true);
        if (causeChanged && m_syncProblem == SyncProblem::Conflict)
            emit syncProblemChanged();
    } else if (result && kind == Kind::Error) {
        m_runProblem = waitsForSharedFile(result->message()) ? SyncProblem::SharedUnavailable : SyncProblem::SyncFailed;
        m_runMessage = result->message();
    }
    updateProblem();

    const std::pair<SyncProblem, ConflictCause> problem{
        m_syncProblem, m_syncProblem == SyncProblem::Conflict ? m_conflictCause : ConflictCause::None};
    // A user-requested run always answers; a background run speaks of what changed, and of a
    // problem only the first time it meets it.
    const bool news = userRequested || problem != m_toldProblem;
    bool told = false;
    for (SyncNotice notice : notices) {
        if (notice.kind == SyncNotice::Kind::Conflict && notice.cause == ConflictCause::None)
            notice.cause = m_conflictCause;
        const bool changedSomething =
            notice.kind == SyncNotice::Kind::Pushed || notice.kind == SyncNotice::Kind::Pulled;
        if (changedSomething || (news && (userRequested || notice.kind != SyncNotice::Kind::InSync))) {
            postNotice(notice);
            told = told || !changedSomething;
        }
    }
    // What the engine could not say itself: it did not run, or waits without a word.
    if (news && !told) {
        if (problem.first == SyncProblem::FolderMissing)
            postNotice({SyncNotice::Kind::FolderMissing, m_syncFolderPath});
        else if (problem.first == SyncProblem::SharedUnavailable)
            postNotice({SyncNotice::Kind::SharedUnavailable, m_problemMessage});
    }
    if (problem.first != SyncProblem::None)
        m_toldProblem = problem;
}

void SyncManager::finishSync(const SyncStatus &status)
{
    setIsSyncing(false);
    setStatusMessage(endText(status));
    setSyncStatus(status);
    if (status.outcome == SyncStatus::Outcome::Conflict)
        setConflictDetected(true);
    refreshAll();
    // A change that settled while this run was busy is looked at now.
    if (std::exchange(m_changeRunWanted, false))
        changeSettled();
    m_services.scheduler->singleShot(kStatusClearDelay, this, [this] {
        setStatusMessage(QString());
        setSyncStatus({});
    });
}

void SyncManager::restoreBackup(const QString &name)
{
    // A restore applies a Dock to this Mac as a pull does; the status line speaks of it so.
    auto notices = std::make_shared<QList<SyncNotice>>();
    std::optional<SyncEngine> engine =
        beginUserRun(SyncEngine::Mode::Pull, QStringLiteral("Stelle wieder her…"), notices);
    if (!engine)
        return;
    auto result = std::make_shared<std::optional<SyncEngine::Result>>();
    runEngineJob(
        [engine = std::move(*engine), name, result, last = m_lastRunState, dockPath = localDockPath()]() mutable {
            *result = runRecorded(engine, dockPath, *last, [&] { return engine.restoreBackup(name); });
        },
        [this, result, notices, name] {
            ++m_engineRuns;
            const SyncEngine::Result &restored = **result;
            if (restored.kind() == SyncEngine::Result::Kind::Restored)
                m_watcher->ownDockWritten();
            takeOutcome(restored, *notices, true);
            const bool ok = restored.kind() == SyncEngine::Result::Kind::Restored;
            postNotice(
                {ok ? SyncNotice::Kind::Restored : SyncNotice::Kind::RestoreFailed, ok ? name : restored.message()});
            SyncStatus status = finished(SyncEngine::Mode::Pull, restored);
            status.restore = true;
            finishSync(status);
        });
}

void SyncManager::inspectFolder(const QString &folder, std::function<void(const DockDifference &)> done)
{
    const QString host = myHostname();
    const EngineServices services = m_services.engine;
    ++m_folderJobs;
    m_folderWorker->run<DockDifference>(
        this, [folder, host, services] { return SyncEngine(folder, host, services).dockDifference(); },
        [this, done = std::move(done)](DockDifference difference) {
            --m_folderJobs;
            if (done)
                done(difference);
        });
}

void SyncManager::inspectBackup(const QString &name, std::function<void(const DockDifference &)> done)
{
    const QString backup = m_services.engine.backupsDirectory + QLatin1Char('/') + QFileInfo(name).fileName();
    const QString localDock =
        m_services.engine.homeDirectory + QLatin1String("/Library/Preferences/com.apple.dock.plist");
    DockPreferences *preferences = m_services.engine.dockPreferences;
    ++m_folderJobs;
    m_folderWorker->run<DockDifference>(
        this,
        [backup, localDock, preferences] {
            const auto current = preferences ? preferences->exportCurrent()
                                             : SafeFile::readRegularFile(localDock, SyncFormat::kMaxDockFileBytes);
            const auto restored = SafeFile::readRegularFile(backup, SyncFormat::kMaxDockFileBytes);
            const auto here = current ? DockLayout::parse(*current) : std::nullopt;
            const auto there = restored ? DockLayout::parse(*restored) : std::nullopt;
            return here && there ? DockDifference::between(*here, *there) : DockDifference();
        },
        [this, done = std::move(done)](DockDifference difference) {
            --m_folderJobs;
            if (done)
                done(difference);
        });
}

bool SyncManager::conflictMarkerExists()
{
    return !m_syncFolderPath.isEmpty() && SafeFile::exists(conflictFilePath());
}

void SyncManager::ignoreConflict()
{
    if (std::optional<SyncEngine> engine = makeEngine()) {
        DockPreferences *preferences = m_services.engine.dockPreferences;
        ++m_folderJobs;
        m_folderWorker->run<QString>(
            this, [engine = std::move(*engine), preferences] { return dockPair(engine, preferences); },
            [this](const QString &pair) {
                --m_folderJobs;
                m_services.settings->setValue(kIgnoredConflictKey, pair);
            });
    }
    dismissConflict();
}

void SyncManager::dismissConflict()
{
    // Refreshes already on their way read the marker before it was deleted; their answer is stale.
    ++m_conflictGeneration;
    if (std::optional<SyncEngine> engine = makeEngine()) {
        const QString marker = conflictFilePath();
        ++m_folderJobs;
        m_folderWorker->run<bool>(
            this,
            [marker, engine = std::move(*engine)] {
                const SafeFile::ExclusiveLock lock = engine.lockOperations();
                return !lock.busy() && SafeFile::remove(marker);
            },
            [this](bool) { --m_folderJobs; });
    }
    setConflictDetected(false);
}

// ---- Background sync and refresh timer ---------------------------------------------------------

void SyncManager::startDaemon()
{
    m_autoSyncTimer.reset();
    const int hours = std::max(m_intervalHours, 1);
    m_autoSyncPeriod = std::chrono::hours(hours);
    m_autoSyncTimer = m_services.scheduler->startRepeating(*m_autoSyncPeriod, this, [this] { daemonTick(); });
    // Timers do not count the time a Mac sleeps: the wall clock tells when a run fell due meanwhile.
    m_wakeCheckTimer = m_services.scheduler->startRepeating(kWakeCheckPeriod, this, [this] { catchUpAfterSleep(); });
    setDaemonRunning(true);
    m_services.settings->setValue(kDaemonActiveKey, true);
    // The first run comes soon, not after a whole period; a stop before then cancels it.
    const quint64 generation = ++m_daemonGeneration;
    m_services.scheduler->singleShot(kFirstDaemonRunDelay, this, [this, generation] {
        if (generation == m_daemonGeneration && m_daemonRunning)
            daemonTick();
    });
}

void SyncManager::stopDaemon()
{
    m_autoSyncTimer.reset();
    m_wakeCheckTimer.reset();
    m_lastDaemonRun = QDateTime(); // a later start runs first after its own short delay
    ++m_daemonGeneration;
    setDaemonRunning(false);
    m_services.settings->setValue(kDaemonActiveKey, false);
}

void SyncManager::daemonTick()
{
    backgroundRun(false);
}

void SyncManager::changeSettled()
{
    if (m_daemonRunning && m_syncOnChange)
        backgroundRun(true);
}

void SyncManager::backgroundRun(bool onlyOnChange)
{
    if (m_syncFolderPath.isEmpty())
        return;
    if (m_isSyncing || m_daemonRunQueued) {
        m_changeRunWanted = m_changeRunWanted || onlyOnChange;
        return;
    }
    auto notices = std::make_shared<QList<SyncNotice>>();
    std::optional<SyncEngine> engine = makeEngine(notices);
    if (!engine)
        return;
    m_daemonRunQueued = true;
    const QDateTime startedAt = wallClock();
    struct Outcome {
        std::optional<SyncEngine::Result> result; // none: the folder is missing
        bool ignored = false;
        bool busy = false; // another operation of this Mac ran: nothing was decided
        bool ran = false;  // false: a settled change that changed nothing, or another operation ran
    };
    auto outcome = std::make_shared<Outcome>();
    const QString ignoredPair = m_services.settings->value(kIgnoredConflictKey).toString();
    DockPreferences *preferences = m_services.engine.dockPreferences;
    runEngineJob(
        [engine = std::move(*engine), outcome, ignoredPair, preferences, onlyOnChange, last = m_lastRunState,
         dockPath = localDockPath()]() mutable {
            if (!folderPresent(engine.syncFolderPath()))
                return;
            SyncEngine::ensureDirectory(engine.backupsDirectory());
            // A run that finds another operation going on skips this tick.
            const SafeFile::ExclusiveLock lock = engine.lockOperations();
            if (lock.busy()) {
                outcome->busy = true;
                return;
            }
            // A settled change that left both Docks as the last run saw them is this Mac's own
            // writes, or the Dock's bookkeeping: nothing to decide.
            if (onlyOnChange && *last && **last == WatchedState::read(engine.syncFolderPath(), dockPath)) {
                outcome->busy = true;
                return;
            }
            outcome->ran = true;
            outcome->result = runRecorded(engine, dockPath, *last, [&] { return engine.autoSync(); });
            // A conflict the user ignored stays ignored while both Docks are as they were then.
            if (outcome->result->kind() == SyncEngine::Result::Kind::Conflict && !ignoredPair.isEmpty() &&
                dockPair(engine, preferences) == ignoredPair) {
                SafeFile::remove(engine.hostFileURL(SyncFormat::kConflictPrefix));
                outcome->ignored = true;
            }
        },
        [this, outcome, notices, startedAt] {
            m_daemonRunQueued = false;
            m_engineRuns += outcome->ran ? 1 : 0;
            // A change that asked for a look and found nothing new is no run the interval counts.
            if (outcome->ran)
                m_lastDaemonRun = startedAt;
            if (outcome->result && outcome->result->kind() == SyncEngine::Result::Kind::Pulled)
                m_watcher->ownDockWritten();
            if (!outcome->busy) {
                setSyncFolderMissing(!outcome->result);
                if (!outcome->result && followMovedFolder()) {
                    announceFollowedFolder();
                    SyncStatus status{SyncStatus::Phase::Finished, SyncEngine::Mode::Auto, SyncStatus::Outcome::Done};
                    status.followedFolder = m_syncFolderPath;
                    setSyncStatus(status);
                    m_services.scheduler->singleShot(kStatusClearDelay, this, [this] { setSyncStatus({}); });
                    daemonTick();
                    return;
                }
                if (!outcome->ignored)
                    takeOutcome(outcome->result, *notices, false);
            }
            if (m_isOnboardingComplete)
                refreshAll();
            if (std::exchange(m_changeRunWanted, false))
                changeSettled();
        });
}

void SyncManager::updateSafetyRefresh()
{
    if (!m_windowVisible || !m_isOnboardingComplete) {
        m_refreshTimer.reset();
        return;
    }
    if (!m_refreshTimer)
        m_refreshTimer = m_services.scheduler->startRepeating(kSafetyRefreshPeriod, this, [this] {
            requestRefresh(AllParts);
            catchUpAfterSleep();
        });
}

QDateTime SyncManager::wallClock() const
{
    return m_services.engine.now ? m_services.engine.now() : QDateTime::currentDateTime();
}

// Timers stand still while the Mac sleeps: a background run due during sleep would come up to a
// whole period late. The wall clock since the last run tells, with no word from the system.
void SyncManager::catchUpAfterSleep()
{
    if (!m_daemonRunning || !m_autoSyncPeriod || !m_lastDaemonRun.isValid() ||
        m_lastDaemonRun.msecsTo(wallClock()) < m_autoSyncPeriod->count())
        return;
    // The next regular run a whole period after this one.
    m_autoSyncTimer = m_services.scheduler->startRepeating(*m_autoSyncPeriod, this, [this] { daemonTick(); });
    daemonTick();
}

// ---- State refresh -----------------------------------------------------------------------------

void SyncManager::refreshAll()
{
    if (m_isOnboardingComplete)
        requestRefresh(AfterSyncParts);
}

void SyncManager::refreshSyncInfo()
{
    requestRefresh(SyncInfoPart);
}

void SyncManager::loadLog()
{
    requestRefresh(LogPart);
}

void SyncManager::refreshHosts()
{
    requestRefresh(HostsPart);
}

void SyncManager::requestRefresh(int parts)
{
    m_pendingRefreshParts |= parts;
    if (!m_refreshInFlight)
        startRefresh();
}

void SyncManager::startRefresh()
{
    if (m_pendingRefreshParts == 0)
        return;
    FolderSnapshotReader::Request request;
    request.folder = m_syncFolderPath;
    request.myHostname = myHostname();
    request.dockPath = localDockPath();
    request.syncInfo = m_pendingRefreshParts & SyncInfoPart;
    request.log = m_pendingRefreshParts & LogPart;
    request.conflict = m_pendingRefreshParts & ConflictPart;
    request.hosts = m_pendingRefreshParts & HostsPart;
    request.dock = m_pendingRefreshParts & DockPart;
    request.dockForced = m_pendingRefreshParts & DockForcedPart;
    request.backups = m_pendingRefreshParts & BackupsPart;
    request.engine = m_services.engine;
    m_pendingRefreshParts = 0;
    m_refreshInFlight = true;

    const quint64 generation = m_conflictGeneration;
    FolderSnapshotReader *reader = m_reader.get();
    m_folderWorker->run<FolderSnapshot>(
        this,
        [reader, request] {
            FolderSnapshot snapshot = reader->read(request);
            snapshot.folderExists = request.folder.isEmpty() || folderPresent(request.folder);
            return snapshot;
        },
        [this, generation, folder = request.folder](FolderSnapshot snapshot) {
            m_refreshInFlight = false;
            // A folder change or reset while the read was running makes its result meaningless.
            if (folder == m_syncFolderPath) {
                applySnapshot(snapshot, generation);
                // A watch lost to a replaced or renamed folder is set up again once it is back.
                m_watcher->rearm();
            }
            startRefresh();
        });
}

void SyncManager::applySnapshot(const FolderSnapshot &snapshot, quint64 conflictGeneration)
{
    if (m_syncFolderPath.isEmpty()) {
        if (snapshot.readLog)
            setLogLines({});
        if (snapshot.readHosts)
            setConnectedHosts({});
        return;
    }
    setSyncFolderMissing(!snapshot.folderExists);
    // A vanished folder is told at once, not only by the next background run.
    if (m_syncProblem == SyncProblem::FolderMissing && m_toldProblem.first != SyncProblem::FolderMissing) {
        m_toldProblem = {SyncProblem::FolderMissing, ConflictCause::None};
        postNotice({SyncNotice::Kind::FolderMissing, m_syncFolderPath});
    }
    if (snapshot.syncInfo) {
        if (snapshot.syncInfo->remoteHostname)
            setRemoteHostname(*snapshot.syncInfo->remoteHostname);
        if (snapshot.syncInfo->lastSyncRemote)
            setLastSyncRemote(*snapshot.syncInfo->lastSyncRemote);
        if (snapshot.lastSyncLocal)
            setLastSyncLocal(*snapshot.lastSyncLocal);
    }
    if (snapshot.logLines)
        setLogLines(*snapshot.logLines);
    if (snapshot.readConflict && conflictGeneration == m_conflictGeneration)
        setConflictDetected(snapshot.conflictMarker);
    if (snapshot.hosts) {
        const qsizetype count = snapshot.hosts->size();
        if (m_hostsSeen >= 0 && m_hostsSeen <= kMacsPromised && count > kMacsPromised)
            postNotice({SyncNotice::Kind::MoreMacsThanPlaces, QString::number(count)});
        m_hostsSeen = count;
        setConnectedHosts(*snapshot.hosts);
    }
    if (snapshot.dockDifference && !(*snapshot.dockDifference == m_dockDifference)) {
        m_dockDifference = *snapshot.dockDifference;
        emit dockDifferenceChanged();
    }
    if (snapshot.backups && *snapshot.backups != m_backups) {
        m_backups = *snapshot.backups;
        emit backupsChanged();
    }
}

// ---- Macs and log ------------------------------------------------------------------------------

void SyncManager::registerPresence(std::optional<SyncEngine> engine)
{
    if (!engine)
        return;
    // Show this Mac in the list as soon as it has announced itself.
    runEngineJob(
        [engine = std::move(*engine)]() mutable {
            if (folderPresent(engine.syncFolderPath()))
                engine.run(SyncEngine::Mode::Status);
        },
        [this] { refreshAll(); });
}

void SyncManager::setDisplayName(const QString &displayName, const QString &hostname)
{
    QStringView name(displayName);
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (!name.isEmpty() && blank(name.front()))
        name = name.mid(1);
    while (!name.isEmpty() && blank(name.back()))
        name.chop(1);
    HostNameMap names = m_hostCustomNames;
    if (name.isEmpty())
        names.remove(hostname);
    else
        names.insert(hostname, name.toString());
    setHostCustomNames(names);
}

void SyncManager::removeHost(const QString &hostname)
{
    if (m_syncFolderPath.isEmpty())
        return;
    const QString status = statusFilePath(hostname);
    const QString conflict = hostFilePath(m_syncFolderPath, SyncFormat::kConflictPrefix, hostname);
    ++m_folderJobs;
    m_folderWorker->run<bool>(
        this,
        [status, conflict, engine = *makeEngine()] {
            const SafeFile::ExclusiveLock lock = engine.lockOperations();
            SafeFile::remove(status);
            SafeFile::remove(conflict);
            return true;
        },
        [this](bool) { --m_folderJobs; });
    HostNameMap names = m_hostCustomNames;
    names.remove(hostname);
    setHostCustomNames(names);
    refreshHosts();
}

void SyncManager::clearLog()
{
    // The log is every Mac's: what is cleared is recorded in the folder, and each Mac hides and
    // drops its lines up to then.
    if (std::optional<SyncEngine> engine = makeEngine()) {
        ++m_folderJobs;
        m_folderWorker->run<bool>(
            this,
            [engine = std::move(*engine)] {
                const SafeFile::ExclusiveLock lock = engine.lockOperations();
                if (!lock.busy())
                    engine.clearLog();
                return true;
            },
            [this](bool) {
                --m_folderJobs;
                loadLog();
            });
    }
    setLogLines({});
}
