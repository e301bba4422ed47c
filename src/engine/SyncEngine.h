#pragma once

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
        enum class Kind { Error, Pushed, Pulled, InSync, Conflict, StatusWritten };

        static Result error(const QString &message) { return Result(Kind::Error, message); }
        static Result pushed() { return Result(Kind::Pushed); }
        static Result pulled() { return Result(Kind::Pulled); }
        static Result inSync() { return Result(Kind::InSync); }
        static Result conflict() { return Result(Kind::Conflict); }
        static Result statusWritten() { return Result(Kind::StatusWritten); }

        Kind kind() const { return m_kind; }
        QString message() const { return m_message; } // empty unless kind() is Error
        bool operator==(const Result &) const = default;

        // "pushed", "pulled", "inSync", "conflict", "statusWritten", "error"
        QString name() const;

    private:
        explicit Result(Kind kind, QString message = {}) : m_kind(kind), m_message(std::move(message)) {}
        Kind m_kind;
        QString m_message;
    };

    // The host name is used as cleaned for files (SyncFormat::cleanHostName).
    SyncEngine(QString syncFolderPath, QString hostname, EngineServices services);

    QString syncFolderPath() const { return m_syncFolderPath; }
    QString hostname() const { return m_hostname; }

    Result run(Mode mode);
    Result push();
    Result pull();
    Result autoSync();

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
    QDateTime now() const;
    bool sharedCopyContradicts(double remote) const;
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
