#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class DockRestarter;
class Notifier;

// What the engine needs of its surroundings. The application passes the real ones; tests pass
// a temporary home, a recording notifier, a stand-in Dock and a clock of their own.
struct EngineServices {
    QString homeDirectory;    // the Dock file is homeDirectory + "/Library/Preferences/com.apple.dock.plist"
    QString backupsDirectory; // local backups of the Dock file
    Notifier *notifier = nullptr;
    DockRestarter *dockRestarter = nullptr;
    std::function<QDateTime()> now; // local wall-clock time; the system clock when empty

    // The process's own home and the standard backups location; no notifier, no Dock restarter.
    static EngineServices forCurrentUser();
    static QString standardBackupsDirectory();
};
