#pragma once

#include "BackupInfo.h"
#include "DockLayout.h"
#include "EngineServices.h"
#include "SafeFile.h"

#include <QString>

#include <initializer_list>
#include <optional>

// Moves the Dock configuration between this Mac and the sync folder. An engine is built for one
// operation and dropped afterwards: it holds no state between calls, and every call blocks until
// its file work is done, so it belongs on a worker thread.
class SyncEngine {
public:
    enum class Mode { Auto, Push, Pull, Status };

    class Result {
    public:
        enum class Kind { Error, Pushed, Pulled, InSync, Conflict, StatusWritten, Restored };
        using Cause = ConflictCause;

        static Result error(const QString &message) { return Result(Kind::Error, message); }
        static Result pushed() { return Result(Kind::Pushed); }
        static Result pulled() { return Result(Kind::Pulled); }
        static Result inSync() { return Result(Kind::InSync); }
        static Result conflict(Cause cause = Cause::BothChanged)
        {
            Result result(Kind::Conflict);
            result.m_cause = cause;
            return result;
        }
        static Result statusWritten() { return Result(Kind::StatusWritten); }
        static Result restored() { return Result(Kind::Restored); }

        Kind kind() const { return m_kind; }
        QString message() const { return m_message; } // empty unless kind() is Error
        Cause cause() const { return m_cause; }       // None unless kind() is Conflict
        bool operator==(const Result &) const = default;

        // "pushed", "pulled", "inSync", "conflict", "statusWritten", "restored", "error"
        QString name() const;

    private:
        explicit Result(Kind kind, QString message = {}) : m_kind(kind), m_message(std::move(message)) {}
        Kind m_kind;
        QString m_message;
        Cause m_cause = Cause::None;
    };

    // The host name is used as cleaned for files (SyncFormat::cleanHostName).
    SyncEngine(QString syncFolderPath, QString hostname, EngineServices services);

    QString syncFolderPath() const { return m_syncFolderPath; }
    QString hostname() const { return m_hostname; }

    // Every operation that writes holds this lock for its whole run, on the app's side and
    // tandrill-cli's alike: a push and a pull interleaved would leave the Dock unlike the shared copy
    // both reported. run() and restoreBackup() take it; push(), pull() and autoSync() expect their
    // caller to. It waits EngineServices::operationWait for the one running; busy() when in vain.
    SafeFile::ExclusiveLock lockOperations() const;
    static QString operationBusyMessage();

    Result run(Mode mode);
    Result push();
    Result pull();
    Result autoSync();

    // What a pull would change here; reads only, writes nothing (not even a log line).
    DockDifference dockDifference() const;
    // The local backups, newest first by the time each was taken.
    QList<BackupInfo> listBackups() const;
    // Backs up the current Dock ("_vor_restore"), applies the named backup and restarts the Dock.
    // name is a file name from listBackups(); anything else changes nothing.
    Result restoreBackup(const QString &name);

    // The file layer.
    QString hostFileURL(QLatin1StringView prefix) const;
    QString folderFile(QLatin1StringView name) const;
    QString localDockPath() const;
    QString backupsDirectory() const { return m_services.backupsDirectory; }
    static void ensureDirectory(const QString &path);
    double localDockMTime() const;
    std::optional<QString> readMeta(const QString &key) const;
    double remoteMTime() const;
    double readLastPulled() const;
    // The writers give the error text when the file could not be written.
    std::optional<QString> writeMeta(double mtime) const;
    std::optional<QString> writeStatus(const QString &action) const;
    std::optional<QString> writeStatus(const QString &action, double lastPulled) const;
    void log(const QString &message) const; // best effort: a line that cannot be written is lost
    // Records the time of clearing for every Mac, which hide the lines up to it; empties this
    // Mac's own log file.
    void clearLog() const;
    QString ownLogPath() const; // this Mac's log file in the sync folder
    // Copies the Dock file into the backups, its file name to *taken, and prunes them unless told
    // not to (never the copy just taken); the error text on failure.
    std::optional<QString> backupLocalDock(const QString &suffix, QString *taken = nullptr, bool prune = true) const;
    // Keeps the newest `keep` backups, the ones named in `kept` among them whatever their rank.
    void pruneBackups(int keep = 10, const QStringList &kept = {}) const;
    static std::optional<QString> replaceItem(const QString &source, const QString &destination,
                                              std::optional<double> modificationTime = std::nullopt,
                                              bool refuseEmptySource = false);

private:
    struct DockBytes {
        std::optional<QByteArray> bytes;
        std::optional<DockLayout> layout; // none: unreadable, too large or not a Dock
        QString problem;                  // why there is no layout
    };
    // The push the meta file records, read once.
    struct SharedPush {
        bool present = false;
        double mtime = 0;
        QString host;    // "unbekannt" when it names none
        QByteArray dock; // its Dock's identity; empty when it names none this Mac can read
        QList<QByteArray> history;
        bool contains(const QByteArray &identity) const
        {
            return !identity.isEmpty() && (identity == dock || history.contains(identity));
        }
    };
    // What this Mac last agreed with in this folder, kept locally: the Dock itself (whether a side
    // changed since is decided by content, because the Dock rewrites its own file and its time says
    // nothing), the pushes it built on, and this Mac's own push while no other push has built on it.
    struct Agreement {
        std::optional<DockLayout> layout;
        QByteArray identity;
        QList<QByteArray> history;
        QByteArray ownPush;
    };
    struct Observed; // everything autoSync reads, with the decision's view of it

    QDateTime now() const;
    int fileState(const QString &path) const; // CloudFiles::State
    std::optional<QString> unavailableSharedFile() const;
    DockBytes readLocalDock() const;
    DockBytes readSharedDock() const;
    SharedPush readSharedPush() const;
    Observed observe() const;
    // A push; overShared: the user chose this Mac's Dock over the shared one, so it builds on it.
    Result share(bool overShared);
    bool sameForThisMac(const DockLayout &a, const DockLayout &b) const;
    std::optional<QString> applyLocalDock(const QByteArray &bytes) const;
    QString recordPath(QLatin1StringView suffix) const;
    // `parsed`: Docks already read, whose parse is taken when the record holds the same bytes.
    Agreement readAgreement(std::initializer_list<const DockBytes *> parsed = {}) const;
    void recordAgreement(const QByteArray &bytes, const DockLayout &layout, const QList<QByteArray> &history,
                         const QByteArray &ownPush) const;
    std::optional<QString> restartDock() const; // the error when the Dock did not come back as applied
    Result flagConflict(SyncEngine::Result::Cause cause, const QString &line) const;
    void notify(const SyncNotice &notice) const;
    void removeOwnConflictMarker() const;
    void removeStaleTempFiles() const;
    QString logLockPath() const;
    Result folderMissing(Mode mode) const;
    Result pushFailed(const QString &description) const;
    Result pullFailed(const QString &description) const;

    QString m_syncFolderPath;
    QString m_hostname;
    EngineServices m_services;
    mutable std::optional<QString> m_hostFileStem; // which name this Mac's files have in the folder
};
