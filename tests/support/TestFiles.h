#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace TestFiles {

// Every entry of a directory, hidden ones included, sorted by name.
QStringList entryNames(const QString &directory);

// The message part of each log line, after "[time] [host] ".
QStringList logMessages(const QString &logFilePath);

void writeFile(const QString &path, const QByteArray &bytes, double mtime);

// Puts "missing", "empty", "directory", "FIFO", "dangling link", "iCloud stub", "not a Dock" or
// "over 16 MiB" at path; false when it could not.
bool place(const QString &path, const QString &kind);

} // namespace TestFiles
