#include "platform/DockPreferences.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

QByteArray processName(const QString &pid)
{
    QFile comm(QLatin1String("/proc/") + pid + QLatin1String("/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return comm.readAll().trimmed();
}

// The first number of a "Name:" line of /proc/<pid>/status ("Uid:", "PPid:"); -1 when there is none.
qint64 statusField(const QString &pid, const char *name)
{
    QFile status(QLatin1String("/proc/") + pid + QLatin1String("/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(name)) {
            bool ok = false;
            const qint64 value = line.mid(qsizetype(qstrlen(name))).simplified().split(' ').value(0).toLongLong(&ok);
            return ok ? value : -1;
        }
    }
    return -1;
}

// This user's processes named "Dock"; with a parent's name, only those that parent started.
QList<qint64> userDockProcesses(const QByteArray &parentName = {})
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid <= 0 || processName(entry) != "Dock" || statusField(entry, "Uid:") != qint64(::getuid()))
            continue;
        if (parentName.isEmpty() || processName(QString::number(statusField(entry, "PPid:"))) == parentName)
            found.append(pid);
    }
    return found;
}

} // namespace

// The Linux stand-in for the Dock is any process of this user whose name is exactly "Dock";
// tandrill-dock runs one and, like launchd, starts it again once it ended.
void terminateUserDockProcesses()
{
    for (const qint64 pid : userDockProcesses())
        ::kill(pid_t(pid), SIGTERM);
}

// Only the stand-in's Dock comes back: any other process of that name stays ended.
QList<qint64> relaunchedDockProcesses()
{
    return userDockProcesses("tandrill-dock");
}

// No preferences daemon caches anything here: the file is the preferences.
std::unique_ptr<DockPreferences> createSystemDockPreferences(const QString &homeDirectory)
{
    return createFileDockPreferences(homeDirectory + QLatin1String("/Library/Preferences/com.apple.dock.plist"));
}
