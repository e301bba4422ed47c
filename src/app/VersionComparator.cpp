#include "VersionComparator.h"

#include <QStringList>

namespace {
enum class PartType { Number, Separator, Text };

PartType typeOf(QChar c)
{
    if (c.isDigit())
        return PartType::Number;
    if (c.isSpace() || c.isPunct())
        return PartType::Separator;
    return PartType::Text;
}

PartType typeOf(const QString &part)
{
    return typeOf(part.front());
}

// "1.10b2" -> "1", ".", "10", "b", "2": runs of one kind; every separator stands alone.
QStringList split(const QString &version)
{
    QStringList parts;
    for (const QChar c : version) {
        const PartType type = typeOf(c);
        if (!parts.isEmpty() && type != PartType::Separator && typeOf(parts.last()) == type)
            parts.last().append(c);
        else
            parts.append(QString(c));
    }
    return parts;
}

int compareNumbers(const QString &a, const QString &b)
{
    // Compared as digit strings, so any length works: strip leading zeros, then longer is larger.
    QString x = a;
    QString y = b;
    while (x.size() > 1 && x.front() == QLatin1Char('0'))
        x.remove(0, 1);
    while (y.size() > 1 && y.front() == QLatin1Char('0'))
        y.remove(0, 1);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return x.compare(y);
}

bool onlyZerosAndSeparators(const QStringList &parts, qsizetype from)
{
    for (qsizetype i = from; i < parts.size(); ++i) {
        const PartType type = typeOf(parts[i]);
        if (type == PartType::Text)
            return false;
        if (type == PartType::Number && compareNumbers(parts[i], QStringLiteral("0")) != 0)
            return false;
    }
    return true;
}
} // namespace

int VersionComparator::compare(const QString &a, const QString &b)
{
    const QStringList partsA = split(a);
    const QStringList partsB = split(b);
    const qsizetype common = std::min(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < common; ++i) {
        const PartType typeA = typeOf(partsA[i]);
        const PartType typeB = typeOf(partsB[i]);
        if (typeA == typeB) {
            const int result = typeA == PartType::Number ? compareNumbers(partsA[i], partsB[i])
                               : typeA == PartType::Text ? partsA[i].compare(partsB[i])
                                                         : 0;
            if (result != 0)
                return result < 0 ? -1 : 1;
            continue;
        }
        // A text part (beta, rc) makes a version older than a number or separator in its place.
        if (typeA != PartType::Text && typeB == PartType::Text)
            return 1;
        if (typeA == PartType::Text && typeB != PartType::Text)
            return -1;
        return typeA == PartType::Number ? 1 : -1;
    }
    if (partsA.size() == partsB.size())
        return 0;

    const bool aLonger = partsA.size() > partsB.size();
    const QStringList &longer = aLonger ? partsA : partsB;
    if (onlyZerosAndSeparators(longer, common))
        return 0;
    // A trailing text part is a pre-release of the shorter version; a number is a later release.
    const int longerWins = typeOf(longer[common]) == PartType::Text ? -1 : 1;
    return aLonger ? longerWins : -longerWins;
}
