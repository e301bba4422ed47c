#include "platform/DockPreferences.h"

#include <QProcess>

// killall signals only this user's processes of that name; launchd starts the Dock again.
void terminateUserDockProcesses()
{
    QProcess::execute(QStringLiteral("/usr/bin/killall"), {QStringLiteral("-TERM"), QStringLiteral("Dock")});
}

// The preferences daemon caches the Dock's settings: read and apply them through it.
std::unique_ptr<DockPreferences> createSystemDockPreferences(const QString &)
{
    return createDefaultsDockPreferences(QStringLiteral("/usr/bin/defaults"));
}
