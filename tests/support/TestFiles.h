#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Small file helpers for tests that look into a sync folder or a backups directory.
namespace TestFiles {

// Every entry of a directory, hidden ones included, sorted by name.
QStringList entryNames(const QString &directory);

// The message part of each log line, after "[time] [host] ".
QStringList logMessages(const QString &logFilePath);

void writeFile(const QString &path, const QByteArray &bytes, double mtime);
bool makeFifo(const QString &path);

// Replaces whatever is at path by something unusual: "missing", "empty", "directory", "FIFO",
// "dangling link", "iCloud stub", "not a Dock" or "over 16 MiB". False when it could not.
bool place(const QString &path, const QString &kind);

} // namespace TestFiles
