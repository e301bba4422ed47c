#include "DockChangeText.h"

#include "DateTimeText.h"
#include "LocalizedText.h"

namespace DockChangeText {

// Each changed setting by name, with this Mac's value and the shared one where they are plain.
static QStringList settingsWithValues(const DockDifference &difference, const LocalizationManager *locManager)
{
    QStringList settings;
    for (const QString &key : difference.settingsChanged) {
        QString item = settingName(key, locManager);
        if (const auto values = difference.settingValues.constFind(key); values != difference.settingValues.cend()) {
            const QString none = QStringLiteral("—");
            item += QLatin1Char(' ') + (values->first.isEmpty() ? none : values->first) + QStringLiteral(" → ") +
                    (values->second.isEmpty() ? none : values->second);
        }
        settings.append(item);
    }
    return settings;
}

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
    // Whole, and each part says on which side it is: a list cut short hides what a pull would do.
    const QString separator = QStringLiteral(", ");
    QStringList parts;
    if (const QStringList shared = difference.appsAdded + difference.othersAdded; !shared.isEmpty())
        parts.append(localized(locManager, "das gemeinsame Dock hat ", "the shared Dock has ") +
                     shared.join(separator) + localized(locManager, ", dieser Mac nicht", ", this Mac does not"));
    if (const QStringList here = difference.appsRemoved + difference.othersRemoved; !here.isEmpty())
        parts.append(localized(locManager, "dieser Mac hat ", "this Mac has ") + here.join(separator) +
                     localized(locManager, ", das gemeinsame Dock nicht", ", the shared Dock does not"));
    if (difference.orderChanged)
        parts.append(localized(locManager, "andere Reihenfolge", "another order"));
    if (const QStringList settings = settingsWithValues(difference, locManager); !settings.isEmpty())
        parts.append(localized(locManager, "andere Einstellungen: ", "other settings: ") + settings.join(separator));
    return parts.join(QStringLiteral("; "));
}

QStringList details(const DockDifference &difference, const LocalizationManager *locManager)
{
    const QString separator = QStringLiteral(", ");
    QStringList lines;
    const auto add = [&](const QStringList &names, const char *german, const char *english) {
        if (!names.isEmpty())
            lines.append(localized(locManager, german, english) + names.join(separator));
    };
    // Said as what replacing this Mac's Dock does to it, so each line names its side, whether the
    // Dock comes from the shared folder or from a backup.
    add(difference.appsAdded, "Kommt ins Dock dieses Macs: ", "Comes into this Mac's Dock: ");
    add(difference.appsRemoved, "Verschwindet aus dem Dock dieses Macs: ", "Leaves this Mac's Dock: ");
    add(difference.othersAdded,
        "Ordner und Stapel, die ins Dock dieses Macs kommen: ", "Folders and stacks coming into this Mac's Dock: ");
    add(difference.othersRemoved, "Ordner und Stapel, die aus dem Dock dieses Macs verschwinden: ",
        "Folders and stacks leaving this Mac's Dock: ");
    if (difference.orderChanged)
        lines.append(localized(locManager, "Andere Reihenfolge", "Different order"));
    add(settingsWithValues(difference, locManager), "Einstellungen (jetzt → danach): ", "Settings (now → after): ");
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
        parts.append(dateTimeText(locManager, difference.pushedAt.toLocalTime()));
    return parts.join(QStringLiteral(", "));
}

} // namespace DockChangeText
