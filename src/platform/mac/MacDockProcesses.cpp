#include "platform/DockPreferences.h"

#include <QProcess>

#include <unistd.h>

// killall signals only this user's processes of that name; launchd starts the Dock again.
void terminateUserDockProcesses()
{
    QProcess::execute(QStringLiteral("/usr/bin/killall"), {QStringLiteral("-TERM"), QStringLiteral("Dock")});
}

// launchd starts the Dock again whenever it ends.
QList<qint64> relaunchedDockProcesses()
{
    QProcess pgrep;
    pgrep.start(QStringLiteral("/usr/bin/pgrep"),
                {QStringLiteral("-x"), QStringLiteral("-U"), QString::number(::getuid()), QStringLiteral("Dock")});
    QList<qint64> found;
    if (!pgrep.waitForFinished(5000)) {
        pgrep.kill();
        pgrep.waitForFinished();
        return found;
    }
    for (const QByteArray &line : pgrep.readAllStandardOutput().split('\n')) {
        bool ok = false;
        const qint64 pid = line.trimmed().toLongLong(&ok);
        if (ok && pid > 0)
            found.append(pid);
    }
    return found;
}

// The preferences daemon caches the Dock's settings: read and apply them through it.
std::unique_ptr<DockPreferences> createSystemDockPreferences(const QString &)
{
    return createDefaultsDockPreferences(QStringLiteral("/usr/bin/defaults"));
}
