#pragma once

#include "LogEntry.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The shared log. Each Mac appends only to a file of its own ("log-" + safe name + ".txt"), so no
// two Macs ever write one file and no sync service has a reason to make a conflict copy of it;
// each Mac trims only its own file. Readers merge every Mac's file by time, together with the one
// "tandrill.log" that older versions wrote (and, on a Mac not yet updated, still write) and the
// conflict copies sync services made of it.
namespace SharedLog {

inline constexpr int kMaxLines = 500;
// What is kept of a line too long to be read whole: its end, after "…".
inline constexpr qsizetype kMaxKeptPartialBytes = 64 * 1024;
// Conflict copies of the old log pile up by the hundred, and anyone can plant files: at most this
// many Mac logs, and this many copies (the newest), are read.
inline constexpr int kMaxFilesOfAKind = 64;

enum class FileKind {
    Mac,        // one Mac's own log
    Legacy,     // "tandrill.log"
    LegacyCopy, // "tandrill.sync-conflict-….log" (Syncthing), "tandrill 2.log" (iCloud Drive)
};

// "log-" + safe name + ".txt"
QString ownFileName(const QString &hostname);
// What a file of the sync folder is to the log; none when it is no log file.
std::optional<FileKind> kindOf(const QString &fileName);
// The log files among a folder's entries, each Mac's first, then the old log, then its copies,
// newest name first (Syncthing puts the time in it; iCloud Drive counts up).
QStringList logFileNames(QStringList entries);

// "yyyy-MM-dd HH:mm:ss" exactly: the time of a log line, comparable as text.
bool isTimestamp(QStringView text);

// The clear marker: "cleared=" + the time of the clearing Mac. None when there is none, or it holds
// no valid time.
QByteArray clearedContent(const QDateTime &when);
std::optional<QString> readClearedAt(const QString &folder);

// How one line joins a Mac's own log, given the file's tail as read (none: missing or unreadable).
// Usually it is appended; a rewrite is needed when the file has more than kMaxLines lines, holds
// lines from before the clear time, or was larger than the bytes read.
struct Append {
    QByteArray bytes; // what to append, or the whole new content
    bool rewrite = false;
};
Append planAppend(const QByteArray &tail, bool truncated, const QByteArray &line,
                  const std::optional<QString> &clearedAt);

// One log file as read: its complete lines, oldest first, each with the time it sorts by (a line
// without a time takes the one of the line before it).
struct Source {
    FileKind kind = FileKind::Mac;
    QStringList lines;
    QStringList times;
};
Source sourceFromBytes(FileKind kind, const QByteArray &bytes, bool truncated);
std::optional<Source> readSource(const QString &path, FileKind kind);

// The newest `limit` lines of all sources, newest first, lines up to the clear time left out. The
// old log and its copies overlap: a line they share counts once.
QList<LogEntry> merge(const QList<Source> &sources, const std::optional<QString> &clearedAt, int limit);

// Everything above, read from the folder; empty when it cannot be listed.
QList<LogEntry> readMerged(const QString &folder, int limit);

} // namespace SharedLog
