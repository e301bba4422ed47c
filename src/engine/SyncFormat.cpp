#include "SyncFormat.h"

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

} // namespace

QString fileSafeName(const QString &hostname)
{
    QString replaced = hostname;
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
    return safe;
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

QByteArray metaContent(double mtime, const QString &hostname, const QDateTime &now)
{
    return "mtime=" + wholeNumberText(mtime) + "\nhost=" + hostname.toUtf8() +
           "\nupdated=" + timestampText(now).toUtf8();
}

QByteArray statusContent(const QString &hostname, const QString &action, const QDateTime &now, double lastPulled)
{
    return "hostname=" + hostname.toUtf8() + "\nlast_action=" + action.toUtf8() +
           "\nlast_time=" + timestampText(now).toUtf8() + "\nlast_pulled=" + wholeNumberText(lastPulled);
}

QByteArray logLine(const QDateTime &now, const QString &hostname, const QString &message)
{
    return "[" + timestampText(now).toUtf8() + "] [" + hostname.toUtf8() + "] " + message.toUtf8() + "\n";
}

QString roundedText(double value)
{
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return QString::fromLatin1(buffer);
}

} // namespace SyncFormat
