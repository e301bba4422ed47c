#pragma once

#include "SafeFile.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QFileSystemWatcher;
class RepeatingTimer;
class Scheduler;

// What an automatic run decides on, read cheaply: the shared copy and the meta file by their stamps,
// this Mac's Dock by its layout (the Dock rewrites its bookkeeping keys after every restart, which
// is no change to share). Two equal states leave an automatic run nothing new to look at.
struct WatchedState {
    std::optional<SafeFile::Stamp> sharedCopy;
    std::optional<SafeFile::Stamp> meta;
    QByteArray localDock; // the layout's identity; the file's stamp where it holds no Dock

    bool operator==(const WatchedState &) const = default;

    // Reads the files; on a worker thread, as the folder may sit on a drive that is slow to answer.
    static WatchedState read(const QString &folder, const QString &dockPath);
};

// The state an automatic run leaves behind, to tell its own writes from other changes: what the run
// wrote is taken as it was after the run, everything else as it was before, so a change that landed
// while the run was busy is still new to the next check.
WatchedState stateAfterRun(const WatchedState &before, const WatchedState &after, bool wroteShared, bool wroteLocal);

// Watches the shared folder (its meta file and Dock copy) and this Mac's Dock file, and reports
// changes once they have settled: the shared files arrive one by one through the sync service, and
// a person moves several icons in a row. A file replaced by rename takes its watch with it, so the
// folders are watched too, and rearm() sets up again whatever is there and not watched.
class ChangeWatcher : public QObject {
    Q_OBJECT

public:
    enum class Side { Shared, Local };

    static constexpr auto kSharedQuiet = std::chrono::milliseconds(3000);
    static constexpr auto kLocalQuiet = std::chrono::milliseconds(15000);
    // The views follow sooner than the runs: they only read.
    static constexpr auto kActivityQuiet = std::chrono::milliseconds(1000);

    explicit ChangeWatcher(Scheduler *scheduler, QObject *parent = nullptr);
    ~ChangeWatcher() override;

    // An empty folder watches nothing.
    void setPaths(const QString &sharedFolder, const QString &localDockPath);
    void rearm();
    // This Mac's own run has just written the Dock file (a pull, a restore): that is nobody's change.
    void ownDockWritten();
    // The paths under watch now, files and folders.
    QStringList watchedPaths() const;

    std::function<void(Side)> onSettled;
    std::function<void()> onActivity;

private:
    void changed(const QString &path);
    void settled(Side side);
    QStringList wantedPaths() const;

    Scheduler *m_scheduler;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    QString m_sharedFolder;
    QString m_localDock;
    QHash<QString, quint64> m_watchedInodes;
    std::optional<SafeFile::Stamp> m_localStamp;
    std::unique_ptr<RepeatingTimer> m_sharedSettle;
    std::unique_ptr<RepeatingTimer> m_localSettle;
    std::unique_ptr<RepeatingTimer> m_activity;
    bool m_sharedPending = false;
    bool m_localPending = false;
};
