#pragma once

#include <QList>
#include <QString>
#include <QUuid>

// One line of the shared log, split for display into time, writing Mac and message.
struct LogEntry {
    QUuid id; // new on every read
    QString raw;

    QString timestamp() const;
    QString source() const;
    QString message() const;

    static LogEntry fromRaw(const QString &raw);
};

// The newest `limit` non-empty lines of the log, newest first. Empty when the file cannot be read.
// Only the last 1 MiB is read; a line cut at that edge is dropped.
QList<LogEntry> readLogTail(const QString &logFilePath, int limit = 80);

// The same from bytes already read; `truncated` says the first line may be partial.
QList<LogEntry> logEntriesFromBytes(const QByteArray &bytes, bool truncated, int limit);
