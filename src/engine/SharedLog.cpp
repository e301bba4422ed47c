#include "SharedLog.h"

#include "SafeFile.h"
#include "SyncFormat.h"

#include <QDir>
#include <QHash>

#include <algorithm>
#include <string_view>

using namespace SyncFormat;

namespace SharedLog {

namespace {

constexpr qsizetype kTimeLength = 19; // "yyyy-MM-dd HH:mm:ss"

char16_t codeOf(QChar c)
{
    return c.unicode();
}
char16_t codeOf(char c)
{
    return static_cast<unsigned char>(c);
}

template <typename View> bool timestampShape(View text)
{
    if (text.size() != kTimeLength)
        return false;
    for (qsizetype i = 0; i < kTimeLength; ++i) {
        const char16_t c = codeOf(text[i]);
        const char16_t expected = i == 4 || i == 7 ? u'-' : i == 10 ? u' ' : i == 13 || i == 16 ? u':' : u'0';
        if (expected == u'0' ? (c < u'0' || c > u'9') : c != expected)
            return false;
    }
    return true;
}

// The time a line carries in its first brackets; empty when it carries none.
QByteArrayView timeOf(QByteArrayView line)
{
    if (line.size() < kTimeLength + 2 || line[0] != '[' || line[kTimeLength + 1] != ']')
        return {};
    const QByteArrayView time = line.sliced(1, kTimeLength);
    return timestampShape(time) ? time : QByteArrayView();
}

QString timeOf(const QString &line)
{
    if (line.size() < kTimeLength + 2 || line[0] != QLatin1Char('[') || line[kTimeLength + 1] != QLatin1Char(']'))
        return {};
    const QString time = line.sliced(1, kTimeLength);
    return isTimestamp(time) ? time : QString();
}

// The end of a line cut by the read limit, at most kMaxKeptPartialBytes, starting on a whole
// UTF-8 character.
QByteArray keptPartial(QByteArrayView piece)
{
    QByteArrayView kept = piece.last(std::min(piece.size(), kMaxKeptPartialBytes));
    while (!kept.isEmpty() && (static_cast<unsigned char>(kept.front()) & 0xC0) == 0x80)
        kept = kept.sliced(1);
    return kept.isEmpty() ? QByteArray() : "\xe2\x80\xa6" + kept.toByteArray();
}

QList<QByteArrayView> splitLines(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype feed = bytes.indexOf('\n'); feed >= 0; feed = bytes.indexOf('\n', start)) {
        lines.append(bytes.sliced(start, feed - start));
        start = feed + 1;
    }
    if (start < bytes.size()) // a last line without its line feed
        lines.append(bytes.sliced(start));
    return lines;
}

std::string_view bytesOf(QByteArrayView view)
{
    return {view.data(), static_cast<size_t>(view.size())};
}

bool isLegacy(FileKind kind)
{
    return kind == FileKind::Legacy || kind == FileKind::LegacyCopy;
}

} // namespace

QString ownFileName(const QString &hostname)
{
    return hostFileName(kLogPrefix, hostname);
}

std::optional<FileKind> kindOf(const QString &fileName)
{
    if (fileName == kLogFileName)
        return FileKind::Legacy;
    if (isServiceConflictCopy(fileName)) {
        const bool oldLog = (fileName.startsWith(QLatin1String("tandrill.sync-conflict-")) ||
                             fileName.startsWith(QLatin1String("tandrill "))) &&
                            fileName.endsWith(QLatin1String(".log"));
        return oldLog ? std::optional(FileKind::LegacyCopy) : std::nullopt;
    }
    if (fileName.size() > kLogPrefix.size() + kHostFileSuffix.size() && fileName.startsWith(kLogPrefix) &&
        fileName.endsWith(kHostFileSuffix))
        return FileKind::Mac;
    return std::nullopt;
}

QStringList logFileNames(QStringList entries)
{
    entries.sort();
    QStringList macs;
    QStringList legacy;
    QStringList copies;
    for (const QString &name : std::as_const(entries)) {
        const auto kind = kindOf(name);
        if (kind == FileKind::Mac)
            macs.append(name);
        else if (kind == FileKind::Legacy)
            legacy.append(name);
        else if (kind == FileKind::LegacyCopy)
            copies.prepend(name);
    }
    return macs.mid(0, kMaxFilesOfAKind) + legacy + copies.mid(0, kMaxFilesOfAKind);
}

bool isTimestamp(QStringView text)
{
    return timestampShape(text);
}

QByteArray clearedContent(const QDateTime &when)
{
    return "cleared=" + timestampText(when).toUtf8();
}

std::optional<QString> readClearedAt(const QString &folder)
{
    const auto bytes =
        SafeFile::readRegularFile(folder + QLatin1Char('/') + kLogClearedFileName, kMaxKeyValueFileBytes);
    if (!bytes)
        return std::nullopt;
    const auto values = parseKeyValues(*bytes);
    const QString cleared = values ? values->value(QStringLiteral("cleared")) : QString();
    return isTimestamp(cleared) ? std::optional(cleared) : std::nullopt;
}

Append planAppend(const QByteArray &tail, bool truncated, const QByteArray &line,
                  const std::optional<QString> &clearedAt)
{
    // A file that does not end in a line feed (a write cut short) gets one, so the new line stands
    // on its own and is not glued to the broken one.
    const QByteArray feed = tail.isEmpty() || tail.endsWith('\n') ? QByteArray() : QByteArray("\n");
    QList<QByteArrayView> lines = splitLines(tail);
    QByteArray partial;
    if (truncated && !lines.isEmpty()) {
        // The first line was cut by the read limit. Dropping it would empty a file that is one
        // huge line (a damaged one) at the next append; its end is kept instead.
        partial = keptPartial(lines.front());
        lines.front() = partial;
        if (partial.isEmpty())
            lines.removeFirst();
    }
    // Lines up to the clear time go; a line without a time goes with the one before it.
    const QByteArray cleared = clearedAt ? clearedAt->toUtf8() : QByteArray();
    const std::string_view clearedTime = bytesOf(cleared);
    QList<QByteArrayView> kept;
    kept.reserve(lines.size());
    QByteArrayView time("");
    for (const QByteArrayView piece : std::as_const(lines)) {
        if (const QByteArrayView own = timeOf(piece); !own.isEmpty())
            time = own;
        if (!clearedAt || bytesOf(time) > clearedTime)
            kept.append(piece);
    }
    if (!truncated && kept.size() == lines.size() && kept.size() < kMaxLines)
        return {feed + line, false};

    QByteArray content;
    for (qsizetype i = std::max<qsizetype>(0, kept.size() - (kMaxLines - 1)); i < kept.size(); ++i)
        content += kept[i].toByteArray() + '\n';
    return {content + line, true};
}

Source sourceFromBytes(FileKind kind, const QByteArray &bytes, bool truncated)
{
    Source source;
    source.kind = kind;
    const QString text = QString::fromUtf8(bytes);
    source.lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (truncated && !source.lines.isEmpty() && !text.startsWith(QLatin1Char('\n')))
        source.lines.removeFirst();
    source.times.reserve(source.lines.size());
    QString time;
    for (const QString &line : std::as_const(source.lines)) {
        if (QString own = timeOf(line); !own.isEmpty())
            time = std::move(own);
        source.times.append(time);
    }
    return source;
}

std::optional<Source> readSource(const QString &path, FileKind kind)
{
    const auto tail = SafeFile::readRegularFileTail(path, kMaxLogReadBytes);
    if (!tail)
        return std::nullopt;
    return sourceFromBytes(kind, tail->bytes, tail->truncated);
}

QList<LogEntry> merge(const QList<Source> &sources, const std::optional<QString> &clearedAt, int limit)
{
    struct Item {
        const QString *time;
        const QString *line;
    };
    QList<Item> items;
    // The old log and each copy of it hold much the same lines: a line is taken as often as the
    // file holding it most often has it, not once per file.
    QHash<QString, int> taken;
    for (const Source &source : sources) {
        QHash<QString, int> seen;
        for (qsizetype i = 0; i < source.lines.size(); ++i) {
            const QString &line = source.lines[i];
            if (clearedAt && source.times[i] <= *clearedAt)
                continue;
            if (isLegacy(source.kind)) {
                const int count = ++seen[line];
                int &most = taken[line];
                if (count <= most)
                    continue;
                most = count;
            }
            items.append(Item{&source.times[i], &line});
        }
    }
    // Stable: lines of one second keep the order their file has them in.
    std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return *a.time < *b.time; });
    QList<LogEntry> entries;
    const qsizetype count = std::min<qsizetype>(items.size(), std::max(limit, 0));
    entries.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        entries.append(LogEntry::fromRaw(*items[items.size() - 1 - i].line));
    return entries;
}

QList<LogEntry> readMerged(const QString &folder, int limit)
{
    const QDir directory(folder);
    if (folder.isEmpty() || !directory.exists())
        return {};
    QList<Source> sources;
    const QStringList names =
        logFileNames(directory.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted));
    for (const QString &name : names) {
        if (auto source = readSource(folder + QLatin1Char('/') + name, *kindOf(name)))
            sources.append(std::move(*source));
    }
    return merge(sources, readClearedAt(folder), limit);
}

} // namespace SharedLog
