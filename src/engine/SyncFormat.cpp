#include "SyncFormat.h"

#include "DockLayout.h"

#include <QCryptographicHash>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <clocale>
#ifdef __APPLE__
#include <xlocale.h>
#endif

namespace SyncFormat {
namespace {

locale_t cLocale()
{
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

constexpr qsizetype kMaxFileNameBytes = 255;
// Room for the longest prefix and suffix of a host file ("conflict-", ".txt") and for the name of
// the temporary file an atomic write makes beside it ("." before, ".tmp-XXXXXX" after).
constexpr qsizetype kMaxSafeNameBytes = kMaxFileNameBytes - 9 - 4 - 12;

bool isLineBreakOrControl(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

QString shortHash(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(8));
}

// The longest start of text, whole code points, of at most maxBytes in UTF-8.
QString utf8Prefix(const QString &text, qsizetype maxBytes)
{
    QString prefix;
    qsizetype bytes = 0;
    for (const char32_t c : text.toUcs4()) {
        const qsizetype width = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + width > maxBytes)
            break;
        bytes += width;
        prefix.append(QString::fromUcs4(&c, 1));
    }
    return prefix;
}

bool allDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(),
                                          [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// "" or one or more "_" + ASCII letters.
bool isBackupSuffix(QStringView suffix)
{
    if (suffix.isEmpty())
        return true;
    if (!suffix.startsWith(QLatin1Char('_')) || suffix.endsWith(QLatin1Char('_')))
        return false;
    QChar previous;
    for (const QChar c : suffix) {
        const bool letter =
            (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        if (!letter && !(c == QLatin1Char('_') && previous != QLatin1Char('_')))
            return false;
        previous = c;
    }
    return true;
}

} // namespace

QString withoutControlCharacters(const QString &text)
{
    // Most texts have none; they are returned as they are.
    const QList<uint> codePoints = text.toUcs4();
    if (std::none_of(codePoints.begin(), codePoints.end(), [](uint c) { return isLineBreakOrControl(c); }))
        return text;
    QString clean;
    clean.reserve(text.size());
    for (const char32_t c : codePoints) {
        if (!isLineBreakOrControl(c))
            clean.append(QString::fromUcs4(&c, 1));
    }
    return clean;
}

QString cleanHostName(const QString &hostname)
{
    return withoutControlCharacters(hostname);
}

QString fileSafeName(const QString &hostname)
{
    const QString cleaned = cleanHostName(hostname);
    QString replaced = cleaned;
    replaced.replace(QLatin1Char(' '), QLatin1Char('_'));
    QString safe;
    safe.reserve(replaced.size());
    // Walk code points, not UTF-16 units, so letters outside the BMP are judged as a whole. A
    // combining mark belongs to the letter before it: "ö" written as "o" + U+0308 keeps its accent.
    bool afterLetter = false;
    for (const char32_t c : replaced.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        const bool mark = category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
                          category == QChar::Mark_Enclosing;
        if (!mark)
            afterLetter = QChar::isLetterOrNumber(c);
        const bool keep = mark ? afterLetter : afterLetter || c == U'_' || c == U'-';
        if (keep)
            safe.append(QString::fromUcs4(&c, 1));
    }
    if (safe.isEmpty())
        return QLatin1String("Mac-") + shortHash(cleaned);
    if (safe.toUtf8().size() > kMaxSafeNameBytes)
        return utf8Prefix(safe, kMaxSafeNameBytes - 9) + QLatin1Char('-') + shortHash(safe);
    return safe;
}

QString distinctFileSafeName(const QString &hostname)
{
    const QString safe = fileSafeName(hostname);
    return utf8Prefix(safe, kMaxSafeNameBytes - 9) + QLatin1Char('-') +
           shortHash(cleanHostName(hostname).normalized(QString::NormalizationForm_C));
}

bool sameFileNameOnMac(const QString &a, const QString &b)
{
    const auto folded = [](const QString &name) {
        return name.normalized(QString::NormalizationForm_C).toCaseFolded();
    };
    return folded(a) == folded(b);
}

bool isServiceConflictCopy(const QString &fileName)
{
    if (fileName.contains(QLatin1String(".sync-conflict-")))
        return true;
    // iCloud Drive appends " 2", " 3", … to the name before its extension.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QStringView stem = QStringView(fileName).left(dot < 0 ? fileName.size() : dot);
    const qsizetype space = stem.lastIndexOf(QLatin1Char(' '));
    if (space < 0 || space + 1 >= stem.size())
        return false;
    const QStringView counter = stem.mid(space + 1);
    return std::all_of(counter.begin(), counter.end(), [](QChar c) { return c.isDigit(); });
}

QString hostFileName(QLatin1StringView prefix, const QString &hostname)
{
    return prefix + fileSafeName(hostname) + kHostFileSuffix;
}

std::optional<BackupName> parseBackupName(QStringView fileName)
{
    static constexpr QLatin1StringView head{"com.apple.dock."};
    static constexpr QLatin1StringView tail{".plist"};
    if (fileName.size() < head.size() + tail.size() || !fileName.startsWith(head) || !fileName.endsWith(tail))
        return std::nullopt;
    QStringView middle = fileName.sliced(head.size(), fileName.size() - head.size() - tail.size());
    // yyyyMMdd_HHmmss
    if (middle.size() < 15 || !allDigits(middle.first(8)) || middle[8] != QLatin1Char('_') ||
        !allDigits(middle.sliced(9, 6)))
        return std::nullopt;
    BackupName name;
    name.stamp = middle.first(15).toString();
    QStringView rest = middle.sliced(15);
    if (const qsizetype dash = rest.lastIndexOf(QLatin1Char('-')); dash >= 0) {
        const QStringView digits = rest.sliced(dash + 1);
        // Bounded before it is read, so counting on from it cannot overflow.
        if (!allDigits(digits) || digits.size() > 10 || digits.startsWith(QLatin1Char('0')))
            return std::nullopt;
        name.counter = digits.toLongLong();
        if (name.counter < 2 || name.counter > kMaxBackupCounter)
            return std::nullopt;
        rest = rest.first(dash);
    }
    if (!isBackupSuffix(rest))
        return std::nullopt;
    name.suffix = rest.toString();
    return name;
}

QString backupFileName(const BackupName &name)
{
    const QString counter = name.counter > 1 ? QLatin1Char('-') + QString::number(name.counter) : QString();
    return QLatin1String("com.apple.dock.") + name.stamp + name.suffix + counter + QLatin1String(".plist");
}

bool isNewerBackup(const BackupName &a, const BackupName &b)
{
    if (a.stamp != b.stamp)
        return a.stamp > b.stamp;
    if (a.counter != b.counter)
        return a.counter > b.counter;
    return a.suffix > b.suffix;
}

std::optional<KeyValues> parseKeyValues(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    KeyValues values;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        values.insert(line.left(equals).toString(), line.mid(equals + 1).toString());
    }
    return values;
}

double readNumber(const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    if (utf8.isEmpty())
        return 0;
    const char *begin = utf8.constData();
    // strtod would skip leading blanks; the format does not allow them.
    if (std::isspace(static_cast<unsigned char>(*begin)))
        return 0;
    char *end = nullptr;
    const double number = ::strtod_l(begin, &end, cLocale());
    if (end != begin + utf8.size() || !std::isfinite(number))
        return 0;
    return number;
}

QByteArray wholeNumberText(double value)
{
    const double truncated = std::trunc(value);
    // 2^63 is exactly representable; everything at or beyond it does not fit into qint64.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(truncated) || truncated >= limit || truncated < -limit)
        return QByteArrayLiteral("0");
    return QByteArray::number(static_cast<qint64>(truncated));
}

QString timestampText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString backupStampText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

QByteArray metaContent(double mtime, const QString &hostname, const QDateTime &now, const QByteArray &dock,
                       const QList<QByteArray> &history)
{
    QByteArray content = "mtime=" + wholeNumberText(mtime) + "\nhost=" + cleanHostName(hostname).toUtf8() +
                         "\nupdated=" + timestampText(now).toUtf8();
    if (!dock.isEmpty())
        content += "\ndock=" + dock + "\nhistory=" + history.mid(0, kMaxHistory).join(',');
    return content;
}

QList<QByteArray> parseHistory(const QString &value)
{
    QList<QByteArray> history;
    for (const QString &part : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (DockLayout::isKnownIdentity(part.toLatin1()) && history.size() < kMaxHistory)
            history.append(part.toLatin1());
    }
    return history;
}

QByteArray statusContent(const QString &hostname, const QString &action, const QDateTime &now, double lastPulled,
                         const QString &machine)
{
    QByteArray content = "hostname=" + cleanHostName(hostname).toUtf8() + "\nlast_action=" + action.toUtf8() +
                         "\nlast_time=" + timestampText(now).toUtf8() + "\nlast_pulled=" + wholeNumberText(lastPulled);
    if (!machine.isEmpty())
        content += "\nmachine=" + withoutControlCharacters(machine).toUtf8();
    return content;
}

QByteArray logLine(const QDateTime &now, const QString &hostname, const QString &message)
{
    // A message can carry text read from the shared folder; one line feed ends it, and only one.
    return "[" + timestampText(now).toUtf8() + "] [" + cleanHostName(hostname).toUtf8() + "] " +
           withoutControlCharacters(message).toUtf8() + "\n";
}

QString roundedText(double value)
{
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return QString::fromLatin1(buffer);
}

} // namespace SyncFormat
