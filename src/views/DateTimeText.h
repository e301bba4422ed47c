#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

class LocalizationManager;

// One date style per interface language, wherever a time is shown (cards, log, tray): the
// language's own short form with the year in four digits, "07.12.2026 15:12" in German and
// "12/7/2026 3:12 PM" in English (US order: a day-first date is read the other way there).
QLocale interfaceLocale(const LocalizationManager *locManager);
QString dateTimeText(const LocalizationManager *locManager, const QDateTime &time);

// A stored time of the sync folder ("yyyy-MM-dd HH:mm:ss", local) in that style; any other text
// is returned as it is.
QString storedTimeText(const LocalizationManager *locManager, const QString &stored);
