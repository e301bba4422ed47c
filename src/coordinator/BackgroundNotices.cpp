#include "BackgroundNotices.h"

#include <QMutexLocker>

bool BackgroundNotices::shouldPost(const SyncNotice &notice, bool conflictFlagged)
{
    const QMutexLocker lock(&m_mutex);
    switch (notice.kind) {
    case SyncNotice::Kind::Pushed:
    case SyncNotice::Kind::Pulled:
    case SyncNotice::Kind::InSync:
        m_conflictAnnounced = false;
        m_lastFailure.reset();
        return notice.kind != SyncNotice::Kind::InSync;
    case SyncNotice::Kind::Conflict:
        return !std::exchange(m_conflictAnnounced, true) && !conflictFlagged;
    case SyncNotice::Kind::PushFailed:
    case SyncNotice::Kind::PullFailed:
    case SyncNotice::Kind::NothingToPull:
    case SyncNotice::Kind::FolderMissing:
        break;
    }
    if (m_lastFailure == notice)
        return false;
    m_lastFailure = notice;
    return true;
}

void BackgroundNotices::conflictDismissed()
{
    const QMutexLocker lock(&m_mutex);
    m_conflictAnnounced = false;
}
