#include "FuzzTargets.h"

#include "DockLayout.h"
#include "HostInfo.h"
#include "LogEntry.h"
#include "SyncFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

// General properties only: no crash, results within bounds, and a round trip where one exists.
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

// A number read from text is finite, and its stored whole-number form reads back as itself.
void checkNumber(const QString &value)
{
    const double number = SyncFormat::readNumber(value);
    require(std::isfinite(number), "readNumber gave a value that is not finite");
    const QByteArray whole = SyncFormat::wholeNumberText(number);
    const double back = SyncFormat::readNumber(QString::fromLatin1(whole));
    require(whole == "0" || back == std::trunc(number), "a stored whole number does not read back as itself");
}

void checkSafeName(const QString &hostname)
{
    const QString safe = SyncFormat::fileSafeName(hostname);
    require(!safe.isEmpty() && SyncFormat::hostFileName(SyncFormat::kConflictPrefix, hostname).toUtf8().size() <= 255,
            "the safe name is empty or too long for a file name");
    require(!safe.contains(QLatin1Char('/')) && !safe.contains(QLatin1Char('.')) && !safe.contains(QChar(0)),
            "the safe name can leave its directory");
    require(SyncFormat::fileSafeName(safe) == safe, "the safe name of a safe name differs");
}

} // namespace

namespace FuzzTargets {

void keyValues(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    checkNumber(QString::fromUtf8(bytes));
    const auto values = SyncFormat::parseKeyValues(bytes);
    if (!values)
        return;
    for (auto it = values->cbegin(); it != values->cend(); ++it) {
        require(!it.key().contains(QLatin1Char('=')) && !it.key().contains(QLatin1Char('\n')), "a key holds = or LF");
        require(!it.value().contains(QLatin1Char('\n')), "a value holds a line feed");
        checkNumber(it.value());
        // Written back as a line of its own, each pair reads back unchanged.
        const auto back = SyncFormat::parseKeyValues((it.key() + QLatin1Char('=') + it.value()).toUtf8());
        require(back && back->value(it.key()) == it.value(), "a key=value pair does not read back");
    }
}

void hostStatus(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> chunks = bytesOf(data, size).split('\0');
    const QString me = QString::fromUtf8(chunks.value(0));
    QList<HostInfo> hosts;
    for (qsizetype i = 1; i < chunks.size(); ++i) {
        if (const auto host = readHostStatus(chunks[i], me)) {
            require(host->isThisMac == (host->hostname == SyncFormat::cleanHostName(me)),
                    "isThisMac is not an exact comparison with the cleaned name");
            hosts.append(*host);
        }
    }
    QList<HostInfo> sorted = hosts;
    sortHosts(sorted);
    require(sorted.size() == hosts.size(), "sorting lost or added a Mac");
    for (qsizetype i = 0; i + 1 < sorted.size(); ++i)
        require(sorted[i].isThisMac || !sorted[i + 1].isThisMac, "this Mac is not listed first");
}

void logLines(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return;
    const QByteArray bytes = bytesOf(data + 2, size - 2);
    const QList<LogEntry> entries = logEntriesFromBytes(bytes, (data[0] & 1) != 0, data[1]);
    require(entries.size() <= data[1], "more log entries than the limit");
    const QString text = QString::fromUtf8(bytes);
    for (const LogEntry &entry : entries) {
        require(!entry.raw.isEmpty() && !entry.raw.contains(QLatin1Char('\n')), "an entry is not one line");
        require(text.contains(entry.raw), "an entry is not a line of the log");
        require(entry.raw.contains(entry.message()) && entry.raw.contains(entry.source()),
                "the parts of an entry are not in its line");
    }
}

void fileSafeName(const std::uint8_t *data, std::size_t size)
{
    checkSafeName(QString::fromUtf8(bytesOf(data, size)));
    // Unpaired surrogates only come as UTF-16.
    QString utf16(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    for (qsizetype i = 0; i < utf16.size(); ++i)
        utf16[i] = QChar(static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8)));
    checkSafeName(utf16);
}

void dockFiles(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return;
    const std::size_t first = std::min<std::size_t>((std::size_t(data[0]) << 8) | data[1], size - 2);
    const auto here = DockLayout::parse(bytesOf(data + 2, first));
    const auto shared = DockLayout::parse(bytesOf(data + 2 + first, size - 2 - first));
    const auto installed = [](const QString &) { return true; };
    const auto namesNothing = [](const DockDifference &d) {
        return d.appsAdded.isEmpty() && d.appsRemoved.isEmpty() && d.othersAdded.isEmpty() &&
               d.othersRemoved.isEmpty() && !d.orderChanged && d.settingsChanged.isEmpty();
    };
    for (const auto &layout : {here, shared}) {
        const auto self = layout ? DockDifference::between(*layout, *layout, installed) : DockDifference();
        require(!layout || (*layout == *layout && self.result == DockDifference::Result::Same && namesNothing(self)),
                "a Dock differs from itself");
    }
    if (!here || !shared)
        return;
    const DockDifference difference = DockDifference::between(*here, *shared, installed);
    const bool same = difference.result == DockDifference::Result::Same;
    require(same == (*here == *shared), "the result is not equality");
    require(same || !namesNothing(difference), "two Docks differ and the difference names nothing");
    require(difference.appsNotInstalled.isEmpty(), "an installed app is reported missing");
}

} // namespace FuzzTargets
