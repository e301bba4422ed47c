#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The Dock's preferences as the system holds them. On macOS a preferences daemon caches them:
// a file copied over com.apple.dock.plist may be ignored and even overwritten from its cache, so
// reading and applying go through the system, and only then is the Dock ended (launchd starts it
// again and it reads the applied settings).
class DockPreferences {
public:
    virtual ~DockPreferences() = default;

    // The current Dock preferences as property-list bytes; none when they cannot be read.
    virtual std::optional<QByteArray> exportCurrent() = 0;

    // Applies property-list bytes as the Dock's preferences; the error text on failure.
    virtual std::optional<QString> import(const QByteArray &bytes) = 0;

    // Ends the user's running Dock so that it starts again with the applied preferences.
    virtual void restartDock() = 0;

    // restartDock(), then, where this can be seen, a check that the Dock came back holding what
    // import() applied last; the error text when it did not.
    virtual std::optional<QString> restartAndCheck()
    {
        restartDock();
        return std::nullopt;
    }
};

// The process ids of this user's Dock processes that the system starts again once ended (launchd
// on macOS, tandrill-dock on Linux), for watching a restart come back.
QList<qint64> relaunchedDockProcesses();

// SIGTERM to every process of this user named "Dock", as `killall Dock` does; launchd starts the
// Dock again.
void terminateUserDockProcesses();

// Preferences kept in a file and nothing else caching them (the Linux stand-in): read and
// written whole, the write atomic.
std::unique_ptr<DockPreferences> createFileDockPreferences(const QString &dockFilePath);

// Preferences read and written through a `defaults` tool ("export com.apple.dock -" and
// "import com.apple.dock -"), so the daemon that caches them serves and keeps what was applied.
// restartDock() calls restart (by default the user's Dock processes are ended).
std::unique_ptr<DockPreferences>
createDefaultsDockPreferences(const QString &toolPath, std::function<void()> restart = terminateUserDockProcesses);

// The system's own: the defaults tool on macOS, the file on Linux.
std::unique_ptr<DockPreferences> createSystemDockPreferences(const QString &homeDirectory);
