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

uid_t processOwner(const QString &pid)
{
    QFile status(QLatin1String("/proc/") + pid + QLatin1String("/status"));
    if (!status.open(QIODevice::ReadOnly))
        return static_cast<uid_t>(-1);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("Uid:")) {
            const QList<QByteArray> fields = line.mid(4).simplified().split(' ');
            bool ok = false;
            const uint uid = fields.value(0).toUInt(&ok);
            return ok ? static_cast<uid_t>(uid) : static_cast<uid_t>(-1);
        }
    }
    return static_cast<uid_t>(-1);
}

} // namespace

// The Linux stand-in for the Dock is any process of this user whose name is exactly "Dock".
void terminateUserDockProcesses()
{
    const uid_t me = ::getuid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const int pid = entry.toInt(&isPid);
        if (!isPid || pid <= 0 || processName(entry) != "Dock" || processOwner(entry) != me)
            continue;
        ::kill(pid, SIGTERM);
    }
}

// Nothing starts the stand-in again: a restart has nothing to come back.
QList<qint64> relaunchedDockProcesses()
{
    return {};
}

// No preferences daemon caches anything here: the file is the preferences.
std::unique_ptr<DockPreferences> createSystemDockPreferences(const QString &homeDirectory)
{
    return createFileDockPreferences(homeDirectory + QLatin1String("/Library/Preferences/com.apple.dock.plist"));
}
