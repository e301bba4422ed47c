#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

// The file protocol between the Macs: names, byte formats and the rules by which they are read.
// Every Mac, whatever version it runs, must agree on these bytes, so nothing here is clever.
namespace SyncFormat {

inline constexpr QLatin1StringView kDockFileName{"com.apple.dock.plist"};
inline constexpr QLatin1StringView kMetaFileName{"tandrill-meta.txt"};
// Written by versions before each Mac had a log file of its own; still read, never written.
inline constexpr QLatin1StringView kLogFileName{"tandrill.log"};
// "log-" + safe name + ".txt": each Mac's own log, so no two Macs ever write one file.
inline constexpr QLatin1StringView kLogPrefix{"log-"};
// When the log was last cleared: every Mac hides and drops the lines up to that time.
inline constexpr QLatin1StringView kLogClearedFileName{"tandrill-log-cleared.txt"};
inline constexpr QLatin1StringView kStatusPrefix{"status-"};
inline constexpr QLatin1StringView kConflictPrefix{"conflict-"};
inline constexpr QLatin1StringView kHostFileSuffix{".txt"};

// Read limits for files of the shared folder, so a corrupted or hostile file cannot exhaust memory.
inline constexpr qint64 kMaxKeyValueFileBytes = 64 * 1024;
inline constexpr qint64 kMaxLogReadBytes = 1024 * 1024;
// Real Dock files are well under 1 MiB; a larger one is refused by push, pull and restore.
inline constexpr qint64 kMaxDockFileBytes = 16 * 1024 * 1024;

// Whether a file name is a copy a sync service made of one of ours when two Macs wrote it at once:
// "status-X 2.txt", "com.apple.dock 2.plist" (iCloud Drive), "status-X.sync-conflict-20261207-
// 101010-ABCDEFG.txt" (Syncthing). Such a copy is never read as the file it copies.
bool isServiceConflictCopy(const QString &fileName);

// The text without control characters (C0, C1) and line or paragraph separators.
QString withoutControlCharacters(const QString &text);

// The host name as it goes into file contents and log lines: control characters and line
// separators dropped, so a name cannot add lines to the meta, status or log file.
QString cleanHostName(const QString &hostname);

// The host name as it appears in file names: of the cleaned name, spaces become "_", then only
// Unicode letters, numbers, "_" and "-" remain. A name with nothing left becomes "Mac-" + a short
// hash of the cleaned name, so two such Macs never share a status file; a name too long for a
// file name keeps its first part and a hash of the whole. Always non-empty.
QString fileSafeName(const QString &hostname);

// The safe name of a Mac whose safe name another Mac's files already carry: the safe name, "-" and
// a short hash of the whole cleaned name, so that two names cleaned alike part again.
QString distinctFileSafeName(const QString &hostname);

// Whether two file names name one file on a Mac, whose file system ignores case and the Unicode
// normal form.
bool sameFileNameOnMac(const QString &a, const QString &b);

// "status-" / "conflict-" + safe name + ".txt", at most 255 bytes in UTF-8.
QString hostFileName(QLatin1StringView prefix, const QString &hostname);

// Local backups of the Dock file: "com.apple.dock." + "yyyyMMdd_HHmmss" + suffix + ".plist", the
// suffix empty or made of "_word" parts ("_vor_pull"); a second backup of the same second and
// suffix has "-2", "-3", … before ".plist".
struct BackupName {
    QString stamp;  // "yyyyMMdd_HHmmss", when the backup was taken
    QString suffix; // "", "_vor_pull", …
    qint64 counter = 1;
};
inline constexpr qint64 kMaxBackupCounter = 1000000000;
std::optional<BackupName> parseBackupName(QStringView fileName); // none: not a backup of this scheme
QString backupFileName(const BackupName &name);
bool isNewerBackup(const BackupName &a, const BackupName &b); // a was taken after b

using KeyValues = QHash<QString, QString>;

// Key=value text: split at line feeds (carriage returns stay in values), key before the first
// "=", value after it; the last occurrence of a key wins. None when the bytes are not UTF-8.
std::optional<KeyValues> parseKeyValues(const QByteArray &bytes);

// A complete floating-point number in C notation, as strtod reads it; 0 for anything else,
// including leading blanks, trailing characters and values that are not finite.
double readNumber(const QString &value);

// Truncated toward zero; 0 when the value cannot be stored as a 64-bit whole number.
QByteArray wholeNumberText(double value);

QString timestampText(const QDateTime &time);   // "yyyy-MM-dd HH:mm:ss"
QString backupStampText(const QDateTime &time); // "yyyyMMdd_HHmmss"

// "mtime=" M, "host=" name, "updated=" time, joined by line feeds, no line feed at the end. With a
// Dock identity, "dock=" it and "history=" the identities that push builds on (newest first,
// comma-separated, at most kMaxHistory) follow; a Mac that knows only the first three lines reads
// them as before.
QByteArray metaContent(double mtime, const QString &hostname, const QDateTime &now, const QByteArray &dock = {},
                       const QList<QByteArray> &history = {});
inline constexpr qsizetype kMaxHistory = 16;

// The identities of a "history=" value that this Mac can read, in their order; others are dropped.
QList<QByteArray> parseHistory(const QString &value);

// "hostname=", "last_action=", "last_time=", "last_pulled=", then "machine=" (this computer's
// hashed identity) when there is one; no line feed at the end. Readers ignore keys they do not know.
QByteArray statusContent(const QString &hostname, const QString &action, const QDateTime &now, double lastPulled,
                         const QString &machine = {});

// "[" time "] [" host "] " message, with its line feed.
QByteArray logLine(const QDateTime &now, const QString &hostname, const QString &message);

// The "%.0f" rendering of the automatic decision's log line.
QString roundedText(double value);

} // namespace SyncFormat
