#pragma once

#include "SyncNotice.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>

class CloudFiles;
class DockPreferences;

// What the engine needs of its surroundings. The application passes the real ones; tests pass
// a temporary home, a recording notifier, a stand-in Dock and a clock of their own.
struct EngineServices {
    QString homeDirectory;    // the Dock file is homeDirectory + "/Library/Preferences/com.apple.dock.plist"
    QString backupsDirectory; // local backups of the Dock file; the log's lock file lies beside it
    NoticeHandler notices;    // what happened, for the user (noticesTo words it); none when empty
    DockPreferences *dockPreferences = nullptr; // reads, applies and restarts; the Dock file alone when unset
    CloudFiles *cloudFiles = nullptr;           // whether shared files can be read now; plain file checks when unset
    std::function<QDateTime()> now;             // local wall-clock time; the system clock when empty
    QString machine; // this computer's hashed identity (machineIdentity), for its status file; none when empty
    // A missing sync folder fails every operation. Only a folder the user has just named (the
    // command-line tool's --folder) may be created; a configured one that vanished never is.
    bool createSyncFolder = false;
    // How long an operation waits for another one on this Mac (the app's, tandrill-cli's) to end.
    std::chrono::milliseconds operationWait{30000};
    // Off: this Mac keeps its own look (DockLayout::lookKeys()): not compared with the shared Dock,
    // not taken from it by a pull, not shared by a push.
    bool sameLookOnAllMacs = true;

    // The process's own home and the standard backups location; no notices, no Dock services.
    static EngineServices forCurrentUser();
    static QString standardBackupsDirectory();
};
