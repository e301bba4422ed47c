#include "ChangeWatcher.h"

#include "DockLayout.h"
#include "Scheduler.h"
#include "SyncFormat.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

namespace {

QString inFolder(const QString &folder, QLatin1StringView name)
{
    return folder + QLatin1Char('/') + name;
}

QByteArray stampText(const std::optional<SafeFile::Stamp> &stamp)
{
    if (!stamp)
        return {};
    return "stamp:" + QByteArray::number(stamp->size) + ':' + QByteArray::number(stamp->mtime, 'f', 6) + ':' +
           QByteArray::number(stamp->inode);
}

} // namespace

WatchedState WatchedState::read(const QString &folder, const QString &dockPath)
{
    WatchedState state;
    state.sharedCopy = SafeFile::stamp(inFolder(folder, SyncFormat::kDockFileName));
    state.meta = SafeFile::stamp(inFolder(folder, SyncFormat::kMetaFileName));
    const auto bytes = SafeFile::readRegularFile(dockPath, SyncFormat::kMaxDockFileBytes);
    const auto layout = bytes ? DockLayout::parse(*bytes) : std::nullopt;
    state.localDock = layout ? layout->identity() : stampText(SafeFile::stamp(dockPath));
    return state;
}

WatchedState stateAfterRun(const WatchedState &before, const WatchedState &after, bool wroteShared, bool wroteLocal)
{
    WatchedState state = before;
    if (wroteShared) {
        state.sharedCopy = after.sharedCopy;
        state.meta = after.meta;
    }
    if (wroteLocal)
        state.localDock = after.localDock;
    return state;
}

ChangeWatcher::ChangeWatcher(Scheduler *scheduler, QObject *parent)
    : QObject(parent), m_scheduler(scheduler), m_watcher(std::make_unique<QFileSystemWatcher>())
{
    connect(m_watcher.get(), &QFileSystemWatcher::fileChanged, this, &ChangeWatcher::changed);
    connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, this, &ChangeWatcher::changed);
}

ChangeWatcher::~ChangeWatcher() = default;

void ChangeWatcher::setPaths(const QString &sharedFolder, const QString &localDockPath)
{
    if (sharedFolder == m_sharedFolder && localDockPath == m_localDock)
        return;
    m_sharedFolder = sharedFolder;
    m_localDock = sharedFolder.isEmpty() ? QString() : localDockPath;
    const QStringList watched = watchedPaths();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    m_watchedInodes.clear();
    m_sharedSettle.reset();
    m_localSettle.reset();
    m_activity.reset();
    m_sharedPending = m_localPending = false;
    m_localStamp = m_localDock.isEmpty() ? std::nullopt : SafeFile::stamp(m_localDock);
    rearm();
}

QStringList ChangeWatcher::wantedPaths() const
{
    if (m_sharedFolder.isEmpty())
        return {};
    return {m_sharedFolder, inFolder(m_sharedFolder, SyncFormat::kMetaFileName),
            inFolder(m_sharedFolder, SyncFormat::kDockFileName), QFileInfo(m_localDock).path(), m_localDock};
}

QStringList ChangeWatcher::watchedPaths() const
{
    return m_watcher->files() + m_watcher->directories();
}

void ChangeWatcher::rearm()
{
    const QStringList watched = watchedPaths();
    for (const QString &path : wantedPaths()) {
        // A path whose file or folder was replaced still names the old one's watch: renew it.
        const auto now = SafeFile::stamp(path);
        const bool isWatched = watched.contains(path);
        if (isWatched && now && m_watchedInodes.value(path) == now->inode)
            continue;
        if (isWatched)
            m_watcher->removePath(path);
        m_watchedInodes.remove(path);
        if (now && m_watcher->addPath(path))
            m_watchedInodes.insert(path, now->inode);
    }
}

void ChangeWatcher::ownDockWritten()
{
    if (m_localDock.isEmpty())
        return;
    m_localStamp = SafeFile::stamp(m_localDock);
    // The write's own events may have come in first: the quiet period they started waits for nothing.
    if (m_localPending) {
        m_localSettle.reset();
        settled(Side::Local);
    }
}

void ChangeWatcher::changed(const QString &path)
{
    const bool local = path == m_localDock || path == QFileInfo(m_localDock).path();
    if (local) {
        // The preferences folder changes whenever any app stores a setting; only the Dock's file counts.
        const auto stamp = SafeFile::stamp(m_localDock);
        if (stamp == m_localStamp)
            return;
        m_localStamp = stamp;
    }
    rearm();
    const Side side = local ? Side::Local : Side::Shared;
    // Every further change starts the quiet period anew.
    auto &settle = local ? m_localSettle : m_sharedSettle;
    (local ? m_localPending : m_sharedPending) = true;
    settle = m_scheduler->startSingleShot(local ? kLocalQuiet : kSharedQuiet, this, [this, side] { settled(side); });
    m_activity = m_scheduler->startSingleShot(kActivityQuiet, this, [this] {
        if (onActivity)
            onActivity();
    });
}

void ChangeWatcher::settled(Side side)
{
    (side == Side::Local ? m_localPending : m_sharedPending) = false;
    // One look at both sides once neither is changing any more: a Dock being rearranged is not
    // shared half done because the folder settled first.
    if (m_localPending || m_sharedPending)
        return;
    if (onSettled)
        onSettled(side);
}
