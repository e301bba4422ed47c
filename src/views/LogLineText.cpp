#include "LogLineText.h"

#include "DateTimeText.h"
#include "LocalizationManager.h"

#include <QRegularExpression>

#include <optional>
#include <vector>

namespace {

// What each captured part of a line is, in the order of the captures:
// 'T' text shown as is, 'H' a host name ("unbekannt" when none was recorded), 'E' a file time in
// seconds since 1970 (0: none), 'D' a detail that is itself looked up among the details below
// and shown as is when it is not known, 'K' the same, but a line whose detail is not known is not
// known either.
struct Pattern {
    const char *german;                // the stored text, a regular expression matching it whole
    const char *parts;                 // one letter per capture
    const char *english;               // %1, %2, … for the captures
    const char *shownGerman = nullptr; // when the stored text is not fit to be shown (raw seconds)
};

// The engine's log messages.
const Pattern kMessages[] = {
    {"STATUS: Präsenz registriert", "", "STATUS: This Mac announced itself"},
    {"STATUS FEHLER: Status-Datei nicht geschrieben: (.+)", "D", "STATUS ERROR: Status file not written: %1"},
    {"PUSH: Sende lokales Dock nach (.+) …", "T", "PUSH: Sending this Mac's Dock to %1 …"},
    {"PUSH: Erfolgreich hochgeladen", "", "PUSH: Shared successfully"},
    {"PUSH FEHLER: (.+)", "D", "PUSH ERROR: %1"},
    {"PULL: Hole Dock-Konfiguration von (.+) …", "T", "PULL: Getting the Dock from %1 …"},
    {"PULL: Keine Konfiguration in iCloud gefunden", "", "PULL: No shared Dock in the sync folder"},
    {"PULL: Dock aktualisiert \\(Anordnung unverändert, kein Neustart\\)", "",
     "PULL: Dock updated (same layout, no restart)"},
    {"PULL: Dock aktualisiert und neu gestartet", "", "PULL: Dock updated and restarted"},
    {"PULL FEHLER: (.+)", "D", "PULL ERROR: %1"},
    {"AUTO: Lokal=(-?\\d+)  iCloud=(-?\\d+) \\(von: (.*)\\)  MeinLetzterPull=(-?\\d+)", "EEHE",
     "AUTO: This Mac's Dock %1, shared Dock %2 (shared by %3), last agreed %4",
     "AUTO: Lokales Dock %1, geteiltes Dock %2 (geteilt von %3), zuletzt abgeglichen %4"},
    {"AUTO: Dock ist bereits synchron", "", "AUTO: Dock already in sync"},
    {"AUTO: iCloud-Dock ist nicht der eigene letzte Push → Push", "",
     "AUTO: The shared Dock is not this Mac's last push → Push"},
    {"AUTO: Lokales Dock ist aktueller → Push", "", "AUTO: This Mac's Dock is newer → Push"},
    {"AUTO: iCloud-Dock ist aktueller \\(von (.*)\\) → Pull", "H", "AUTO: The shared Dock is newer (from %1) → Pull"},
    {"AUTO: Erstmalige Synchronisation → Push", "", "AUTO: First sync → Push"},
    {"AUTO: iCloud-Dock weicht bei gleicher Zeit ab \\(von (.*)\\) → Pull", "H",
     "AUTO: The shared Dock differs at the same time (from %1) → Pull"},
    {"KONFLIKT: Lokales Dock UND iCloud-Dock wurden seit letztem Sync verändert", "",
     "CONFLICT: This Mac's Dock AND the shared Dock changed since the last sync"},
    {"AUTO: iCloud-Dock von (.*) ersetzt einen anderen Push → Pull", "H",
     "AUTO: The shared Dock from %1 replaced another push → Pull"},
    {"KONFLIKT: Dieser Mac hat ein anderes Dock als das von (.*) geteilte", "H",
     "CONFLICT: This Mac has a different Dock than the one shared by %1"},
    {"KONFLIKT: Der eigene Push wurde durch den Push von (.*) ersetzt", "H",
     "CONFLICT: This Mac's push was replaced by the push of %1"},
    {"KONFLIKT: (.*) hat ein Dock geteilt, das nicht auf dem gemeinsamen aufbaut", "H",
     "CONFLICT: %1 shared a Dock that does not build on the one shared before"},
    {"AUTO FEHLER: (.+)", "D", "AUTO ERROR: %1"},
    {"RESTORE: Sicherung (.+) wiederhergestellt", "T", "RESTORE: Backup %1 restored"},
    {"RESTORE FEHLER: (.+)", "D", "RESTORE ERROR: %1"},
    {"AUTO: (.+)", "K", "AUTO: %1"}, // a shared file not available now
};

// Why an operation failed, as the engine words it.
const Pattern kDetails[] = {
    {"(.+) ist noch nicht verfügbar", "D", "%1 is not available yet"},
    {"(.+) ist keine Dock-Konfiguration", "D", "%1 is not a Dock configuration"},
    {"(.+) ist größer als 16 MiB", "D", "%1 is larger than 16 MiB"},
    {"(.+) kann nicht gelesen werden", "D", "%1 cannot be read"},
    {"Lokales Dock \\((.+)\\)", "T", "This Mac's Dock (%1)"},
    {"Meta-Datei nicht geschrieben: (.+)", "D", "Meta file not written: %1"},
    {"Status-Datei nicht geschrieben: (.+)", "D", "Status file not written: %1"},
    {"Dock übernommen, aber Status-Datei nicht geschrieben: (.+)", "D",
     "Dock applied, but the status file was not written: %1"},
    {"(.+): Die Datei im Sync-Ordner ist leer", "T", "%1: the file in the sync folder is empty"},
    {"(.+): Die Datei ist leer", "T", "%1: the file is empty"},
    {"(.+): ist ein symbolischer Link und nicht verfügbar", "T", "%1: is a symbolic link and not available"},
    {"(.+): Die Datei ist größer als (\\d+) MiB", "TT", "%1: the file is larger than %2 MiB"},
    {"Sync-Ordner nicht gefunden: (.+)", "T", "Sync folder not found: %1"},
};

struct Compiled {
    QRegularExpression expression;
    const Pattern *pattern;
};

template <size_t N> std::vector<Compiled> compile(const Pattern (&patterns)[N])
{
    std::vector<Compiled> compiled;
    compiled.reserve(N);
    for (const Pattern &pattern : patterns)
        compiled.push_back(
            {QRegularExpression(QRegularExpression::anchoredPattern(QString::fromUtf8(pattern.german))), &pattern});
    return compiled;
}

const std::vector<Compiled> &messages()
{
    static const std::vector<Compiled> compiled = compile(kMessages);
    return compiled;
}

const std::vector<Compiled> &details()
{
    static const std::vector<Compiled> compiled = compile(kDetails);
    return compiled;
}

constexpr int kMaxDepth = 4; // details name files that are details themselves, never deeper

std::optional<QString> render(const LocalizationManager *loc, const std::vector<Compiled> &table, const QString &text,
                              int depth);

QString part(const LocalizationManager *loc, char kind, const QString &value, int depth)
{
    const bool english = loc->lang() == QLatin1String("en");
    switch (kind) {
    case 'H':
        return english && value == QLatin1String("unbekannt") ? QStringLiteral("unknown") : value;
    case 'E': {
        const qint64 seconds = value.toLongLong();
        return seconds == 0 ? QStringLiteral("—") : dateTimeText(loc, QDateTime::fromSecsSinceEpoch(seconds));
    }
    case 'D':
    case 'K':
        return depth < kMaxDepth ? render(loc, details(), value, depth + 1).value_or(value) : value;
    default:
        return value;
    }
}

std::optional<QString> render(const LocalizationManager *loc, const std::vector<Compiled> &table, const QString &text,
                              int depth)
{
    for (const Compiled &row : table) {
        const QRegularExpressionMatch match = row.expression.match(text);
        if (!match.hasMatch())
            continue;
        const Pattern &pattern = *row.pattern;
        QStringList parts;
        for (int i = 0; pattern.parts[i] != '\0'; ++i) {
            if (pattern.parts[i] == 'K' && !render(loc, details(), match.captured(i + 1), depth + 1))
                return std::nullopt;
            parts.append(part(loc, pattern.parts[i], match.captured(i + 1), depth));
        }
        const char *shown = loc->lang() == QLatin1String("en") ? pattern.english : pattern.shownGerman;
        if (!shown)
            return text; // German as stored
        // Filled in one pass, so a part holding "%2" is not filled again.
        const QString form = QString::fromUtf8(shown);
        QString filled;
        for (qsizetype i = 0; i < form.size(); ++i) {
            const int digit = i + 1 < form.size() ? form[i + 1].digitValue() : -1;
            if (form[i] == QLatin1Char('%') && digit >= 1 && digit <= parts.size()) {
                filled += parts[digit - 1];
                ++i;
            } else {
                filled += form[i];
            }
        }
        return filled;
    }
    return std::nullopt;
}

} // namespace

QString logMessageText(const LocalizationManager *locManager, const QString &storedMessage)
{
    return render(locManager, messages(), storedMessage, 0).value_or(storedMessage);
}
