#include "DockChangeText.h"

#include "LocalizedText.h"

#include <QLocale>

namespace {

constexpr qsizetype kSummaryItems = 6;

QLocale localeFor(const LocalizationManager *locManager)
{
    return locManager->lang() == QLatin1String("en") ? QLocale(QLocale::English, QLocale::UnitedKingdom)
                                                     : QLocale(QLocale::German, QLocale::Germany);
}

QStringList prefixed(const QStringList &names, const QString &sign)
{
    QStringList items;
    for (const QString &name : names)
        items.append(sign + name);
    return items;
}

} // namespace

namespace DockChangeText {

QString settingName(const QString &key, const LocalizationManager *locManager)
{
    static const struct {
        const char *key;
        const char *german;
        const char *english;
    } names[] = {
        {"tilesize", "Symbolgröße", "tile size"},
        {"largesize", "Vergrößerungsgröße", "magnified size"},
        {"magnification", "Vergrößerung", "magnification"},
        {"orientation", "Position auf dem Bildschirm", "position on screen"},
        {"autohide", "automatisch ausblenden", "automatic hiding"},
        {"autohide-delay", "Verzögerung beim Ausblenden", "hiding delay"},
        {"autohide-time-modifier", "Tempo beim Ausblenden", "hiding speed"},
        {"mineffect", "Effekt beim Minimieren", "minimize effect"},
        {"minimize-to-application", "ins Programmsymbol minimieren", "minimize into app icon"},
        {"show-recents", "zuletzt benutzte Apps", "recent apps"},
        {"show-process-indicators", "Anzeige für geöffnete Apps", "open-app indicators"},
        {"launchanim", "Öffnen animieren", "opening animation"},
        {"persistent-apps", "Optionen der Apps", "app options"},
        {"persistent-others", "Optionen der Ordner", "folder options"},
    };
    for (const auto &name : names) {
        if (key == QLatin1String(name.key))
            return localized(locManager, name.german, name.english);
    }
    return key;
}

QString summary(const DockDifference &difference, const LocalizationManager *locManager)
{
    QStringList items =
        prefixed(difference.appsAdded, QStringLiteral("+")) + prefixed(difference.appsRemoved, QStringLiteral("−")) +
        prefixed(difference.othersAdded, QStringLiteral("+")) + prefixed(difference.othersRemoved, QStringLiteral("−"));
    if (difference.orderChanged)
        items.append(localized(locManager, "Reihenfolge", "order"));
    for (const QString &key : difference.settingsChanged)
        items.append(settingName(key, locManager));
    if (items.size() > kSummaryItems) {
        items.resize(kSummaryItems);
        items.append(QStringLiteral("…"));
    }
    return items.join(QStringLiteral(", "));
}

QStringList details(const DockDifference &difference, const LocalizationManager *locManager)
{
    const QString separator = QStringLiteral(", ");
    QStringList lines;
    const auto add = [&](const QStringList &names, const char *german, const char *english) {
        if (!names.isEmpty())
            lines.append(localized(locManager, german, english) + names.join(separator));
    };
    add(difference.appsAdded, "Neu im Dock: ", "Added to the Dock: ");
    add(difference.appsRemoved, "Aus dem Dock entfernt: ", "Removed from the Dock: ");
    add(difference.othersAdded, "Neue Ordner und Stapel: ", "Folders and stacks added: ");
    add(difference.othersRemoved, "Entfernte Ordner und Stapel: ", "Folders and stacks removed: ");
    if (difference.orderChanged)
        lines.append(localized(locManager, "Andere Reihenfolge", "Different order"));
    QStringList settings;
    for (const QString &key : difference.settingsChanged)
        settings.append(settingName(key, locManager));
    add(settings, "Einstellungen: ", "Settings: ");
    return lines;
}

QString lookKeptLocal(const DockDifference &difference, const LocalizationManager *locManager)
{
    if (difference.lookKeptLocal.isEmpty())
        return {};
    QStringList names;
    for (const QString &key : difference.lookKeptLocal)
        names.append(settingName(key, locManager));
    return localized(locManager, "Eigenes Aussehen bleibt auf diesem Mac: ", "This Mac keeps its own look: ") +
           names.join(QStringLiteral(", "));
}

QString pushedBy(const DockDifference &difference, const LocalizationManager *locManager)
{
    QStringList parts;
    if (!difference.pushedBy.isEmpty())
        parts.append(difference.pushedBy);
    if (difference.pushedAt.isValid())
        parts.append(localeFor(locManager).toString(difference.pushedAt.toLocalTime(), QLocale::ShortFormat));
    return parts.join(QStringLiteral(", "));
}

} // namespace DockChangeText
