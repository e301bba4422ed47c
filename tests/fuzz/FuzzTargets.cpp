#include "FuzzTargets.h"

#include "HostInfo.h"
#include "LogEntry.h"
#include "SyncFormat.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

QByteArray bytesOf(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// A number read from a value must be finite and go through its stored whole-number form intact.
void checkNumber(const QString &value)
{
    const double number = SyncFormat::readNumber(value);
    require(std::isfinite(number), "readNumber gave a value that is not finite");
    const QByteArray whole = SyncFormat::wholeNumberText(number);
    if (whole == "0")
        return;
    bool isWhole = false;
    const qint64 stored = whole.toLongLong(&isWhole);
    require(isWhole, "wholeNumberText is not a whole number");
    require(static_cast<double>(stored) == std::trunc(number), "wholeNumberText does not truncate toward zero");
    require(SyncFormat::readNumber(QString::fromLatin1(whole)) == std::trunc(number),
            "a stored whole number does not read back as itself");
}

// The rules of a log entry, written out once more, plainly, from the file format.
struct ExpectedEntry {
    QString timestamp;
    QString source;
    QString message;
};

ExpectedEntry expectedEntry(const QString &raw)
{
    const QString separator = QStringLiteral("] ");
    const QStringList parts = raw.split(separator);
    ExpectedEntry expected;
    if (raw.startsWith(QLatin1Char('[')) && !parts.isEmpty())
        expected.timestamp = parts[0].mid(1);
    if (parts.size() >= 2) {
        QString source = parts[1].mid(1);
        while (source.startsWith(QLatin1Char('[')) || source.startsWith(QLatin1Char(']')))
            source.remove(0, 1);
        while (source.endsWith(QLatin1Char('[')) || source.endsWith(QLatin1Char(']')))
            source.chop(1);
        expected.source = source;
    }
    if (parts.size() >= 3) {
        QString message = parts.mid(2).join(separator);
        const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
        while (!message.isEmpty() && blank(message.front()))
            message.remove(0, 1);
        while (!message.isEmpty() && blank(message.back()))
            message.chop(1);
        expected.message = message;
    }
    return expected;
}

bool isKeptInFileName(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    const bool mark = category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
                      category == QChar::Mark_Enclosing;
    return QChar::isLetterOrNumber(c) || mark || c == U'_' || c == U'-';
}

void checkSafeName(const QString &hostname)
{
    const QString safe = SyncFormat::fileSafeName(hostname);
    require(!safe.isEmpty() && SyncFormat::hostFileName(SyncFormat::kConflictPrefix, hostname).toUtf8().size() <= 255,
            "the safe name is empty or too long for a file name");
    for (const char32_t c : safe.toUcs4())
        require(isKeptInFileName(c), "the safe name keeps a character outside letters, numbers, '_' and '-'");
    require(!safe.contains(QLatin1Char('/')) && !safe.contains(QLatin1Char('.')) && !safe.contains(QChar(0)),
            "the safe name can leave its directory");
    require(SyncFormat::fileSafeName(safe) == safe, "the safe name of a safe name differs");
    const QString fileName = SyncFormat::hostFileName(SyncFormat::kStatusPrefix, hostname);
    require(fileName == QLatin1String("status-") + safe + QLatin1String(".txt"),
            "the status file name is not built from the safe name");
}

} // namespace

namespace FuzzTargets {

void keyValues(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    checkNumber(QString::fromUtf8(bytes));
    const auto values = SyncFormat::parseKeyValues(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    require(values.has_value() == !decoder.hasError(), "a file is read although it is not UTF-8, or the reverse");
    if (!values)
        return;

    // The same file read line by line: the key before the first "=", the last occurrence wins.
    QHash<QString, QString> expected;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals >= 0)
            expected.insert(line.left(equals), line.mid(equals + 1));
    }
    require(*values == expected, "the key=value reader disagrees with the line rule");
    for (auto it = values->cbegin(); it != values->cend(); ++it) {
        require(!it.key().contains(QLatin1Char('=')) && !it.key().contains(QLatin1Char('\n')),
                "a key holds '=' or a line feed");
        require(!it.value().contains(QLatin1Char('\n')), "a value holds a line feed");
        checkNumber(it.value());
    }
}

void hostStatus(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> chunks = bytesOf(data, size).split('\0');
    const QString myHostname = QString::fromUtf8(chunks.value(0));
    QList<HostInfo> hosts;
    QHash<QUuid, qsizetype> readOrder;
    for (qsizetype i = 1; i < chunks.size(); ++i) {
        const auto host = readHostStatus(chunks[i], myHostname);
        const auto values = SyncFormat::parseKeyValues(chunks[i]);
        const bool listed = values && values->contains(QStringLiteral("hostname"));
        require(host.has_value() == listed, "a status file is listed without a hostname line, or skipped with one");
        if (!host)
            continue;
        require(host->hostname == values->value(QStringLiteral("hostname")), "the host name is not the file's");
        require(host->isThisMac == (host->hostname == myHostname), "isThisMac is not an exact comparison");
        require(host->lastAction == values->value(QStringLiteral("last_action"), QStringLiteral("sync")),
                "a missing last_action does not read as sync");
        require(host->lastTime == values->value(QStringLiteral("last_time"), QStringLiteral("—")),
                "a missing last_time does not read as a dash");
        require(!readOrder.contains(host->id), "two records share an id");
        readOrder.insert(host->id, hosts.size());
        hosts.append(*host);
    }

    QList<HostInfo> sorted = hosts;
    sortHosts(sorted);
    require(sorted.size() == hosts.size(), "sorting lost or added a Mac");
    for (qsizetype i = 0; i + 1 < sorted.size(); ++i) {
        const HostInfo &a = sorted[i];
        const HostInfo &b = sorted[i + 1];
        require(a.isThisMac || !b.isThisMac, "this Mac is not listed first");
        if (a.isThisMac != b.isThisMac)
            continue;
        const QList<uint> keyA = a.hostname.normalized(QString::NormalizationForm_C).toUcs4();
        const QList<uint> keyB = b.hostname.normalized(QString::NormalizationForm_C).toUcs4();
        require(!(keyB < keyA), "host names are not in ascending order");
        if (keyA == keyB)
            require(readOrder.value(a.id) < readOrder.value(b.id), "equal host names changed their order");
    }
}

void logLines(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return;
    const bool truncated = (data[0] & 1) != 0;
    const int limit = data[1];
    const QByteArray bytes = bytesOf(data + 2, size - 2);
    const QList<LogEntry> entries = logEntriesFromBytes(bytes, truncated, limit);

    // The newest non-empty lines first; a cut first line of a tail is not shown.
    const QString text = QString::fromUtf8(bytes);
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (truncated && !text.startsWith(QLatin1Char('\n')) && !lines.isEmpty())
        lines.removeFirst();
    std::reverse(lines.begin(), lines.end());
    lines = lines.mid(0, limit);
    require(entries.size() == lines.size(), "the number of log entries is wrong");

    QSet<QUuid> ids;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LogEntry &entry = entries[i];
        require(entry.raw == lines[i], "a log entry is not its line");
        require(!ids.contains(entry.id), "two log entries share an id");
        ids.insert(entry.id);
        const ExpectedEntry expected = expectedEntry(entry.raw);
        require(entry.timestamp() == expected.timestamp, "the time of a log line is split wrongly");
        require(entry.source() == expected.source, "the source of a log line is split wrongly");
        require(entry.message() == expected.message, "the message of a log line is split wrongly");
    }
}

void fileSafeName(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    checkSafeName(QString::fromUtf8(bytes));
    if (size % 2 == 0) {
        // Unpaired surrogates only come this way.
        QString utf16(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
        for (qsizetype i = 0; i < utf16.size(); ++i)
            utf16[i] = QChar(static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8)));
        checkSafeName(utf16);
    }
}

} // namespace FuzzTargets
