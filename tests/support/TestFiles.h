#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class SimulatedMac;

// Small file helpers for tests that look into a sync folder or a backups directory.
namespace TestFiles {

// Every entry of a directory, hidden ones included, sorted by name.
QStringList entryNames(const QString &directory);

// The lines of a log file, each without its line feed.
QList<QByteArray> logLines(const QString &logFilePath);

// The message part of each log line, after "[time] [host] ".
QStringList logMessages(const QString &logFilePath);

void writeFile(const QString &path, const QByteArray &bytes, double mtime);
bool makeFifo(const QString &path);

// Replaces whatever is at path by something unusual: "missing", "empty", "directory", "FIFO",
// "dangling link", "iCloud stub", "not a Dock" or "over 16 MiB". False when it could not.
bool place(const QString &path, const QString &kind);

// The environment of a tandrill-cli process running as this Mac: its own HOME and XDG
// directories, so its backups and settings are its own.
QProcessEnvironment environmentOf(const SimulatedMac &mac);

} // namespace TestFiles
