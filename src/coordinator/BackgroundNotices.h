#pragma once

#include "SyncNotice.h"

#include <QMutex>

#include <optional>

// Which notices of the runs nobody asked for reach the user. Such a run speaks when it changed a
// Dock or met something new: finding the Docks in sync is silent, a conflict is announced once
// until it is resolved or dismissed, and the same failure once until a run succeeds. The runs come
// from the engine's worker, a dismissal from the main thread.
class BackgroundNotices {
public:
    // `conflictFlagged`: the user already sees a conflict (from their own run, or the marker).
    bool shouldPost(const SyncNotice &notice, bool conflictFlagged);
    // The user dismissed the conflict: the next one is news again.
    void conflictDismissed();

private:
    QMutex m_mutex;
    bool m_conflictAnnounced = false;
    std::optional<SyncNotice> m_lastFailure;
};
