#include "LogEntry.h"

#include "SafeFile.h"
#include "SyncFormat.h"

namespace {

const QString kSeparator = QStringLiteral("] ");

QString trimmedBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

} // namespace

LogEntry LogEntry::fromRaw(const QString &raw)
{
    return LogEntry{QUuid::createUuid(), raw};
}

QString LogEntry::timestamp() const
{
    if (!raw.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype end = raw.indexOf(kSeparator);
    return raw.mid(1, end < 0 ? -1 : end - 1);
}

QString LogEntry::source() const
{
    const qsizetype first = raw.indexOf(kSeparator);
    if (first < 0)
        return {};
    const qsizetype start = first + kSeparator.size();
    const qsizetype second = raw.indexOf(kSeparator, start);
    QStringView part = QStringView(raw).mid(start, second < 0 ? -1 : second - start);
    part = part.mid(std::min<qsizetype>(1, part.size())); // the part without its first character
    const auto bracket = [](QChar c) { return c == QLatin1Char('[') || c == QLatin1Char(']'); };
    while (!part.isEmpty() && bracket(part.front()))
        part = part.mid(1);
    while (!part.isEmpty() && bracket(part.back()))
        part.chop(1);
    return part.toString();
}

QString LogEntry::message() const
{
    const qsizetype first = raw.indexOf(kSeparator);
    if (first < 0)
        return {};
    const qsizetype second = raw.indexOf(kSeparator, first + kSeparator.size());
    if (second < 0)
        return {};
    return trimmedBlanks(QStringView(raw).mid(second + kSeparator.size()));
}

QList<LogEntry> logEntriesFromBytes(const QByteArray &bytes, bool truncated, int limit)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (truncated && !lines.isEmpty() && !text.startsWith(QLatin1Char('\n')))
        lines.removeFirst();
    QList<LogEntry> entries;
    const qsizetype count = std::min<qsizetype>(lines.size(), std::max(limit, 0));
    entries.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        entries.append(LogEntry::fromRaw(lines[lines.size() - 1 - i].toString()));
    return entries;
}

QList<LogEntry> readLogTail(const QString &logFilePath, int limit)
{
    const auto tail = SafeFile::readRegularFileTail(logFilePath, SyncFormat::kMaxLogReadBytes);
    if (!tail)
        return {};
    return logEntriesFromBytes(tail->bytes, tail->truncated, limit);
}
