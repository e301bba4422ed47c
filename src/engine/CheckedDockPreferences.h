#pragma once

#include "platform/DockPreferences.h"

#include <QList>

#include <functional>
#include <memory>

// How the end of a Dock restart is watched: this user's Dock processes, a monotonic clock and a
// sleep, injected so that a test can stand in for the Dock and for time.
struct DockRestartWatch {
    std::function<QList<qint64>()> dockProcesses;
    std::function<qint64()> elapsedMs;
    std::function<void(int milliseconds)> sleep;
    int timeoutMs = 10'000;
    int pollMs = 250;

    // The real clock and sleep; the processes as given (relaunchedDockProcesses on a system).
    static DockRestartWatch system(std::function<QList<qint64>()> dockProcesses);
};

// Applies through another DockPreferences and checks the result after the restart: a Dock that
// ran before has to run again, and the layout read back through the system has to be the one
// applied. A managed Mac (a profile with locked Dock keys), an import that merges instead of
// replacing, or a Dock that writes its old state back while it ends would otherwise leave a Dock
// other than the one reported as pulled.
std::unique_ptr<DockPreferences> createCheckedDockPreferences(std::unique_ptr<DockPreferences> inner,
                                                              DockRestartWatch watch);
