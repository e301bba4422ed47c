#include "DateTimeText.h"

#include "LocalizationManager.h"

QLocale interfaceLocale(const LocalizationManager *locManager)
{
    return locManager->lang() == QLatin1String("en") ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                     : QLocale(QLocale::German, QLocale::Germany);
}

QString dateTimeText(const LocalizationManager *locManager, const QDateTime &time)
{
    const QLocale locale = interfaceLocale(locManager);
    QString format = locale.dateTimeFormat(QLocale::ShortFormat);
    // A two-digit year ("7.12.26") reads like a day or a month; a full one never does.
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(time, format);
}

QString storedTimeText(const LocalizationManager *locManager, const QString &stored)
{
    const QDateTime time = QDateTime::fromString(stored, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return time.isValid() ? dateTimeText(locManager, time) : stored;
}
