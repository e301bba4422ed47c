#pragma once

#include "EngineServices.h"
#include "HostInfo.h"
#include "LogEntry.h"
#include "SyncEngine.h"
#include "platform/LoginItem.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class BookmarkManager;
class ChangeWatcher;
class FolderPicker;
class QSettings;
class RepeatingTimer;
class Scheduler;
class FolderSnapshotReader;
class SerialWorker;
struct FolderSnapshot;
struct WatchedState;

using HostNameMap = QMap<QString, QString>;

// What the line under the sync buttons reports, as a value: the views word it in the interface
// language. `statusMessage` keeps the fixed texts for the log-like places that show them as is.
struct SyncStatus {
    enum class Phase { Idle, Running, Finished };
    enum class Outcome { Done, Conflict, Error, FolderMissing };

    SyncStatus() = default;
    SyncStatus(Phase runPhase, SyncEngine::Mode runMode, Outcome runOutcome)
        : phase(runPhase), mode(runMode), outcome(runOutcome)
    {}

    Phase phase = Phase::Idle;
    SyncEngine::Mode mode = SyncEngine::Mode::Auto;
    Outcome outcome = Outcome::Done;
    QString errorMessage;                      // the engine's own words, with Outcome::Error
    ConflictCause cause = ConflictCause::None; // with Outcome::Conflict
    bool restore = false;                      // the run applied a backup
    QString followedFolder;                    // the sync folder was found renamed or moved to here on the way

    bool operator==(const SyncStatus &) const = default;
};

// What keeps this Mac from syncing right now, the first that applies; None while all is well.
enum class SyncProblem {
    None,
    FolderMissing,     // the sync folder is gone: nothing syncs until it is back or another is chosen
    Conflict,          // this Mac's conflict marker is set and waits for the user's choice
    SharedUnavailable, // a shared file is there but not readable yet (an evicted cloud file): every run waits
    SyncFailed,        // the last run failed otherwise; problemMessage() has the engine's words
};

// Everything the coordinator needs of the system, injected so that tests can run several
// coordinators side by side, each with its own settings, home, host name and virtual clock.
struct CoordinatorServices {
    QSettings *settings = nullptr;     // the app's settings store ("Tandrill"/"Tandrill")
    std::function<QString()> hostName; // asked once, on first use
    EngineServices engine;             // home, backups, notifier, Dock restarter, clock
    BookmarkManager *bookmarks = nullptr;
    LoginItem *loginItem = nullptr;
    FolderPicker *folderPicker = nullptr;
    std::function<void(const QString &folder)> openFolder;
    Scheduler *scheduler = nullptr;
};

// The one state object of the app. Views and the tray menu read its properties and call its
// operations, all on the main thread. Engine work and every read of the sync folder run on
// worker threads; their results are assigned back here in order.
class SyncManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool daemonRunning READ daemonRunning NOTIFY daemonRunningChanged)
    Q_PROPERTY(int intervalHours READ intervalHours WRITE setIntervalHours NOTIFY intervalHoursChanged)
    Q_PROPERTY(QString lastSyncLocal READ lastSyncLocal NOTIFY lastSyncLocalChanged)
    Q_PROPERTY(QString lastSyncRemote READ lastSyncRemote NOTIFY lastSyncRemoteChanged)
    Q_PROPERTY(QString remoteHostname READ remoteHostname NOTIFY remoteHostnameChanged)
    Q_PROPERTY(QList<LogEntry> logLines READ logLines NOTIFY logLinesChanged)
    Q_PROPERTY(bool isSyncing READ isSyncing NOTIFY isSyncingChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(SyncStatus syncStatus READ syncStatus NOTIFY syncStatusChanged)
    Q_PROPERTY(bool syncFolderMissing READ syncFolderMissing NOTIFY syncFolderMissingChanged)
    Q_PROPERTY(QString syncFolderPath READ syncFolderPath NOTIFY syncFolderPathChanged)
    Q_PROPERTY(bool isOnboardingComplete READ isOnboardingComplete NOTIFY isOnboardingCompleteChanged)
    Q_PROPERTY(bool conflictDetected READ conflictDetected NOTIFY conflictDetectedChanged)
    Q_PROPERTY(QList<HostInfo> connectedHosts READ connectedHosts NOTIFY connectedHostsChanged)
    Q_PROPERTY(bool syncOnStart READ syncOnStart WRITE setSyncOnStart NOTIFY syncOnStartChanged)
    Q_PROPERTY(bool syncOnChange READ syncOnChange WRITE setSyncOnChange NOTIFY syncOnChangeChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool sameLookOnAllMacs READ sameLookOnAllMacs WRITE setSameLookOnAllMacs NOTIFY sameLookOnAllMacsChanged)
    Q_PROPERTY(HostNameMap hostCustomNames READ hostCustomNames WRITE setHostCustomNames NOTIFY hostCustomNamesChanged)
    Q_PROPERTY(DockDifference dockDifference READ dockDifference NOTIFY dockDifferenceChanged)
    Q_PROPERTY(QList<BackupInfo> backups READ backups NOTIFY backupsChanged)
    Q_PROPERTY(SyncProblem syncProblem READ syncProblem NOTIFY syncProblemChanged)
    Q_PROPERTY(QString problemMessage READ problemMessage NOTIFY syncProblemChanged)
    Q_PROPERTY(ConflictCause conflictCause READ conflictCause NOTIFY syncProblemChanged)
    Q_PROPERTY(QString lastSuccessfulSync READ lastSuccessfulSync NOTIFY lastSuccessfulSyncChanged)

public:
    // While the window is open, a change the watcher missed still shows within this period; with the
    // window closed nothing is read unless something changed.
    static constexpr auto kSafetyRefreshPeriod = std::chrono::milliseconds(60000);
    static constexpr auto kWakeCheckPeriod = std::chrono::minutes(5);
    static constexpr auto kFirstDaemonRunDelay = std::chrono::milliseconds(1000);
    static constexpr auto kSyncOnStartDelay = std::chrono::milliseconds(1500);
    static constexpr auto kStatusClearDelay = std::chrono::milliseconds(3000);

    explicit SyncManager(CoordinatorServices services, QObject *parent = nullptr);
    ~SyncManager() override;

    bool daemonRunning() const { return m_daemonRunning; }
    int intervalHours() const { return m_intervalHours; }
    QString lastSyncLocal() const { return m_lastSyncLocal; }
    QString lastSyncRemote() const { return m_lastSyncRemote; }
    QString remoteHostname() const { return m_remoteHostname; }
    QList<LogEntry> logLines() const { return m_logLines; }
    bool isSyncing() const { return m_isSyncing; }
    QString statusMessage() const { return m_statusMessage; }
    SyncStatus syncStatus() const { return m_syncStatus; }
    // The set-up folder is gone (renamed, or its cloud drive not mounted). It is never created
    // again behind the user's back: syncs fail until it is back or another one is chosen.
    bool syncFolderMissing() const { return m_syncFolderMissing; }
    QString syncFolderPath() const { return m_syncFolderPath; }
    bool isOnboardingComplete() const { return m_isOnboardingComplete; }
    bool conflictDetected() const { return m_conflictDetected; }
    QList<HostInfo> connectedHosts() const { return m_connectedHosts; }
    // The status file of this Mac's name was written by another computer: two Macs use one name
    // (common after Migration Assistant) and would pass for one. Follows connectedHosts.
    bool nameUsedByAnotherMac() const;
    bool syncOnStart() const { return m_syncOnStart; }
    // Background sync also runs once a change to either Dock has settled, not only at its interval.
    bool syncOnChange() const { return m_syncOnChange; }
    bool launchAtLogin() const { return m_launchAtLogin; }
    // Off: this Mac keeps its own look (tile size, position, hiding…); apps and folders sync either way.
    bool sameLookOnAllMacs() const { return m_services.engine.sameLookOnAllMacs; }
    HostNameMap hostCustomNames() const { return m_hostCustomNames; }
    // What a pull would change on this Mac; read with the folder, when a Dock changed.
    DockDifference dockDifference() const { return m_dockDifference; }
    // The local backups of the Dock, newest first.
    QList<BackupInfo> backups() const { return m_backups; }
    SyncProblem syncProblem() const { return m_syncProblem; }
    QString problemMessage() const { return m_problemMessage; } // the engine's words, with SyncFailed/SharedUnavailable
    // Why the last conflict of this Mac was flagged; kept while the conflict lasts and across starts.
    ConflictCause conflictCause() const { return m_conflictCause; }
    // When this Mac last pushed, pulled, restored or found itself in sync ("—" before the first time).
    QString lastSuccessfulSync() const { return m_lastSuccessfulSync; }

    void setIntervalHours(int hours);
    void setSyncOnStart(bool enabled);
    void setSyncOnChange(bool enabled);
    // The app shell says whether the window is on screen: only then does the safety refresh run.
    void setWindowVisible(bool visible);
    void setLaunchAtLogin(bool enabled);
    void setSameLookOnAllMacs(bool enabled);
    void setHostCustomNames(const HostNameMap &names);

    static constexpr QLatin1StringView launchAgentLabel{"com.tandrill.auto"};
    QString myHostname();
    std::optional<SyncEngine> makeEngine();
    QString backupFolderURL() const;
    // The login item's current system status; the settings view asks on every draw.
    bool loginItemRequiresApproval() const;
    // False when this copy of the app cannot be a login item (on macOS: not run from its bundle).
    bool loginItemAvailable() const;
    // Beside the approval hint: the system's list of login items, where the user approves it.
    bool canOpenLoginItemSettings() const;
    void openLoginItemSettings();
    // Why this copy cannot be a login item (the switch shows it), and the system's message when it
    // refused the last registration or removal (empty when it did not).
    LoginItem::Availability loginItemAvailability() const;
    QString loginItemError() const { return m_loginItemError; }
    // The user did not allow this app's notifications (macOS); the settings say so.
    bool notificationsRefused() const { return m_notificationsRefused; }
    void setNotificationsRefused(bool refused);
    QString metaFilePath() const;
    QString conflictFilePath();
    QString statusFilePath(const QString &hostname) const;

    // Folder set-up, change and reset.
    void pickSyncFolder(std::function<void(std::optional<QString>)> completion);
    void completeSetup(const QString &folder);
    void changeSyncFolder(const QString &folder);
    void resetAllSettings();
    void openBackupFolder();

    // Sync actions.
    void performSync(SyncEngine::Mode mode);
    bool conflictMarkerExists();
    void dismissConflict();
    // The user leaves the conflict as it is: the marker goes, and background runs flag it again
    // only once this Mac's Dock or the shared one has changed.
    void ignoreConflict();
    // Backs up the current Dock, applies the named backup and restarts the Dock, on the engine
    // worker like a sync. The restored Dock is a local change: the next automatic run shares it.
    void restoreBackup(const QString &name);
    // What joining folder would bring to this Mac, read off the main thread before the folder is
    // set up; done runs on the main thread.
    void inspectFolder(const QString &folder, std::function<void(const DockDifference &)> done);
    // What restoring the backup named would change on this Mac, read off the main thread.
    void inspectBackup(const QString &name, std::function<void(const DockDifference &)> done);

    // Background sync and refresh.
    void startDaemon();
    void stopDaemon();
    void daemonTick();
    QDateTime wallClock() const;
    // A background run that fell due while the Mac slept runs now: timers do not count sleep.
    void catchUpAfterSleep();

    // State refresh: reads the folder on a worker and assigns the results here.
    void refreshAll();
    void refreshSyncInfo();
    void refreshHosts();
    void loadLog();

    // Macs and log.
    void registerPresence(std::optional<SyncEngine> engine);
    void setDisplayName(const QString &displayName, const QString &hostname);
    void removeHost(const QString &hostname);
    void clearLog();

    // Whether engine work or a folder read is queued or running (tests wait for it to settle).
    bool hasPendingWork() const;
    // The auto-sync timer's period, or none while it is off.
    std::optional<std::chrono::milliseconds> autoSyncPeriod() const;
    // Engine runs finished since this coordinator started, of any kind but the presence check.
    int engineRuns() const { return m_engineRuns; }

signals:
    void daemonRunningChanged(bool running);
    void intervalHoursChanged(int hours);
    void lastSyncLocalChanged(const QString &text);
    void lastSyncRemoteChanged(const QString &text);
    void remoteHostnameChanged(const QString &text);
    void logLinesChanged();
    void isSyncingChanged(bool syncing);
    void statusMessageChanged(const QString &text);
    void syncStatusChanged();
    void syncFolderMissingChanged(bool missing);
    void syncFolderPathChanged(const QString &path);
    void isOnboardingCompleteChanged(bool complete);
    void conflictDetectedChanged(bool conflict);
    void connectedHostsChanged();
    void syncOnStartChanged(bool enabled);
    void syncOnChangeChanged(bool enabled);
    void launchAtLoginChanged(bool enabled);
    void sameLookOnAllMacsChanged(bool enabled);
    void notificationsRefusedChanged(bool refused);
    void hostCustomNamesChanged();
    void dockDifferenceChanged();
    void backupsChanged();
    void syncProblemChanged();
    void lastSuccessfulSyncChanged(const QString &text);

private:
    enum RefreshPart {
        SyncInfoPart = 1,
        LogPart = 2,
        ConflictPart = 4,
        HostsPart = 8,
        DockPart = 16,       // the difference, when a Dock changed
        DockForcedPart = 32, // the difference, anew
        BackupsPart = 64,
        AllParts = 31,
        AfterSyncParts = 127
    };

    void requestRefresh(int parts);
    void startRefresh();
    void applySnapshot(const FolderSnapshot &snapshot, quint64 conflictGeneration);
    void setDaemonRunning(bool running);
    void setLastSyncLocal(const QString &text);
    void setLastSyncRemote(const QString &text);
    void setRemoteHostname(const QString &text);
    void setLogLines(const QList<LogEntry> &lines);
    void setIsSyncing(bool syncing);
    void setStatusMessage(const QString &text);
    void setSyncStatus(const SyncStatus &status);
    void setSyncFolderMissing(bool missing);
    using CollectedNotices = std::shared_ptr<QList<SyncNotice>>;
    // An engine whose notices are collected, to be posted once the run's outcome is known.
    std::optional<SyncEngine> makeEngine(const CollectedNotices &notices);
    // A user-requested run begins: none while another runs, none without a folder.
    std::optional<SyncEngine> beginUserRun(SyncEngine::Mode mode, const QString &message,
                                           const CollectedNotices &notices);
    void runSync(SyncEngine engine, SyncEngine::Mode mode, CollectedNotices notices, bool mayFollowFolder,
                 const QString &followedFolder = {});
    void finishSync(const SyncStatus &status);
    // Records what a run found; a background run posts only what the user did not hear yet.
    void takeOutcome(const std::optional<SyncEngine::Result> &result, const QList<SyncNotice> &notices,
                     bool userRequested);
    void postNotice(const SyncNotice &notice);
    void updateProblem();
    void noteSuccessfulSync();
    bool followMovedFolder();
    void announceFollowedFolder();
    void forgetFolderState();
    void setSyncFolderPath(const QString &path);
    void setIsOnboardingComplete(bool complete);
    void setConflictDetected(bool conflict);
    void setConnectedHosts(const QList<HostInfo> &hosts);
    void storeHostCustomNames();
    void storeFolderPath(const QString &path);
    void createSyncFolder(std::function<void()> then = {});
    void runEngineJob(std::function<void()> job, std::function<void()> done);
    // A background run: at the interval, or once a change settled (then only when something changed
    // since the last run), with notices as background runs post them.
    void backgroundRun(bool onlyOnChange);
    void changeSettled();
    void watchFolder();
    void updateSafetyRefresh();
    QString localDockPath() const;

    CoordinatorServices m_services;
    std::unique_ptr<FolderSnapshotReader> m_reader; // used on m_folderWorker only
    std::unique_ptr<SerialWorker> m_engineWorker;   // every engine run of this Mac, one at a time
    std::unique_ptr<SerialWorker> m_folderWorker;   // the coordinator's own reads, writes and deletes
    std::unique_ptr<RepeatingTimer> m_autoSyncTimer;
    std::unique_ptr<RepeatingTimer> m_refreshTimer;   // only while the window is visible
    std::unique_ptr<RepeatingTimer> m_wakeCheckTimer; // while background sync is on
    std::unique_ptr<ChangeWatcher> m_watcher;
    // What the last engine run left behind; used on m_engineWorker only.
    std::shared_ptr<std::optional<WatchedState>> m_lastRunState;
    std::optional<std::chrono::milliseconds> m_autoSyncPeriod;
    std::optional<QString> m_myHostname;

    bool m_daemonRunning = false;
    int m_intervalHours = 1;
    QString m_lastSyncLocal;
    QString m_lastSyncRemote;
    QString m_remoteHostname;
    QList<LogEntry> m_logLines;
    bool m_isSyncing = false;
    QString m_statusMessage;
    SyncStatus m_syncStatus;
    bool m_syncFolderMissing = false;
    QString m_syncFolderPath;
    bool m_isOnboardingComplete = false;
    bool m_conflictDetected = false;
    QList<HostInfo> m_connectedHosts;
    bool m_syncOnStart = false;
    bool m_syncOnChange = true;
    bool m_windowVisible = false;
    bool m_changeRunWanted = false;
    int m_engineRuns = 0;
    bool m_launchAtLogin = false;
    QString m_loginItemError;
    bool m_notificationsRefused = false;
    HostNameMap m_hostCustomNames;
    DockDifference m_dockDifference;
    QList<BackupInfo> m_backups;
    SyncProblem m_syncProblem = SyncProblem::None;
    QString m_problemMessage;
    ConflictCause m_conflictCause = ConflictCause::None;
    QString m_lastSuccessfulSync;
    // The last run's failure, when it was not the folder or a conflict; cleared by a good run.
    SyncProblem m_runProblem = SyncProblem::None;
    QString m_runMessage;
    // The problem the user was last told of, so that background runs tell each problem once.
    std::pair<SyncProblem, ConflictCause> m_toldProblem{SyncProblem::None, ConflictCause::None};
    qsizetype m_hostsSeen = -1; // how many Macs the last read found; none read yet

    int m_pendingRefreshParts = 0;
    bool m_refreshInFlight = false;
    int m_engineJobs = 0;
    int m_folderJobs = 0;
    bool m_daemonRunQueued = false;
    quint64 m_daemonGeneration = 0;
    QDateTime m_lastDaemonRun; // wall-clock time of the last background run
    quint64 m_conflictGeneration = 0;
};
