#pragma once

#include "BackupInfo.h"
#include "DockLayout.h"
#include "EngineServices.h"
#include "HostInfo.h"
#include "LogEntry.h"
#include "SafeFile.h"
#include "SharedLog.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// What one refresh reads from the sync folder. Empty optionals mean "leave the shown value as it
// is": the file could not be read, or has not changed since the last read.
struct FolderSnapshot {
    struct SyncInfo {
        std::optional<QString> remoteHostname;
        std::optional<QString> lastSyncRemote;
    };

    bool readSyncInfo = false;
    std::optional<SyncInfo> syncInfo; // none: the meta file is unreadable
    std::optional<QString> lastSyncLocal;
    bool readLog = false;
    std::optional<QList<LogEntry>> logLines; // none: unchanged
    bool readConflict = false;
    bool conflictMarker = false;
    bool readHosts = false;
    std::optional<QList<HostInfo>> hosts;         // none: unchanged, or the folder cannot be listed
    std::optional<DockDifference> dockDifference; // none: neither Dock changed
    std::optional<QList<BackupInfo>> backups;     // none: not read
    bool folderExists = true;
};

// Reads the sync folder for the coordinator's refresh, on its worker thread only. It remembers
// each file's stamp (size, mtime, inode) and parses a file again only when the stamp changed, so
// a refresh costs what changed, not what exists.
class FolderSnapshotReader {
public:
    struct Request {
        QString folder;
        QString myHostname;
        QString dockPath;
        bool syncInfo = false;
        bool log = false;
        bool conflict = false;
        bool hosts = false;
        bool dock = false;       // the difference, when the shared copy, the meta file or the local Dock changed
        bool dockForced = false; // the difference, whatever changed
        bool backups = false;
        EngineServices engine;
    };

    FolderSnapshot read(const Request &request);
    // Forgets every stamp, so the next read reports everything anew.
    void invalidate();

private:
    std::optional<FolderSnapshot::SyncInfo> readMeta(const QString &path);
    std::optional<QList<LogEntry>> readLog(const QString &folder);
    std::optional<QList<HostInfo>> readHosts(const QString &folder, const QString &myHostname);
    std::optional<DockDifference> readDockDifference(const Request &request);

    struct CachedMeta {
        QString path;
        SafeFile::Stamp stamp;
        FolderSnapshot::SyncInfo info;
    };
    struct CachedStatus {
        SafeFile::Stamp stamp;
        std::optional<HostInfo> host;
    };

    std::optional<CachedMeta> m_meta;
    struct CachedLog {
        SafeFile::Stamp stamp;
        SharedLog::Source source;
    };
    QString m_logFolder;
    QHash<QString, CachedLog> m_logCache; // by file name
    std::optional<SafeFile::Stamp> m_logClearedStamp;
    bool m_logKnown = false;
    QString m_hostsFolder;
    QString m_hostsOwner;
    QHash<QString, CachedStatus> m_statusCache; // by file name
    QStringList m_lastHostOrder;
    bool m_hostsKnown = false;
    QList<std::optional<SafeFile::Stamp>> m_dockStamps; // shared copy, meta file, local Dock
};

// How the coordinator shows the local Dock file's time.
QString formatLocalTime(double secondsSinceEpoch);
