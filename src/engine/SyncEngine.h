#pragma once

#include "BackupInfo.h"
#include "DockLayout.h"
#include "EngineServices.h"

#include <QString>

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
    // Copies the Dock file into the backups and prunes them; the error text on failure.
    std::optional<QString> backupLocalDock(const QString &suffix) const;
    void pruneBackups(int keep = 10) const;
    static std::optional<QString> replaceItem(const QString &source, const QString &destination,
                                              std::optional<double> modificationTime = std::nullopt,
                                              bool refuseEmptySource = false);

private:
    struct DockBytes {
        std::optional<QByteArray> bytes;
        std::optional<DockLayout> layout; // none: unreadable, too large or not a Dock
        QString problem;                  // why there is no layout
    };

    QDateTime now() const;
    int fileState(const QString &path) const; // CloudFiles::State
    std::optional<QString> unavailableSharedFile() const;
    std::optional<QString> sharedCopyNotArrived() const;
    DockBytes readLocalDock() const;
    DockBytes readSharedDock() const;
    std::optional<QString> applyLocalDock(const QByteArray &bytes) const;
    // The shared Dock this Mac last agreed with (pushed, pulled or found equal), kept locally per
    // sync folder: whether a side changed since then is decided by content, because the Dock
    // rewrites its own file and its time says nothing.
    QString agreedDockPath() const;
    void recordAgreement(const QByteArray &bytes) const;
    std::optional<DockLayout> agreedLayout() const;
    std::optional<QString> restartDock() const; // the error when the Dock did not come back as applied
    bool sharedCopyContradicts(double remote, bool layoutsDiffer) const;
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
};
