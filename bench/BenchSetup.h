#pragma once

#include "SimulatedMac.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Shared folders and Dock files as they look after weeks of use, for the benchmarks. Everything
// lives below the isolated temporary home that main() set up; nothing touches the real one.
namespace BenchSetup {

inline constexpr int kLogLineCap = 500;
inline constexpr int kBackupsKept = 10;

// A Dock file of a typical size, the same bytes on every run.
QByteArray dockBytes();

// `count` log lines as the engine writes them, each with its line feed; `first` numbers them,
// so two logs built from different `first` values differ in every line.
QByteArray logLines(int count, int first = 0);

QByteArray statusBytes(const QString &hostname, const QString &action, int minute);

// "MacBook-Pro" is this Mac; then "iMac", "Mac-mini", "MacBook-Air", then "Mac-0004", "Mac-0005", …
QString hostName(int index);

// Writes to a temporary name and renames it over path, as a sync service delivers a file, and
// gives the result the modification time `mtime`.
void deliverFile(const QString &path, const QByteArray &bytes, double mtime);

} // namespace BenchSetup

// A temporary shared folder used by `macs` Macs, seen from the first: the Dock copy and meta file of
// this Mac's push, one status file per Mac, a log at its line cap and this Mac's ten backups.
class BenchFolder {
public:
    explicit BenchFolder(int macs);

    QString root() const { return m_root.path(); }
    QString folder() const { return m_folder; }
    QString logPath() const;
    SimulatedMac &thisMac() { return m_mac; }

    // The engine as the app builds it for this Mac, without notifications: they are not measured.
    SyncEngine engine();

    // Replaces the log by kLogLineCap lines starting at line `first`.
    void fillLog(int first = 0);

private:
    QTemporaryDir m_root;
    QString m_folder;
    SimulatedMac m_mac;
};
