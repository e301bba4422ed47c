#include "StatusMenuModel.h"

#include "DateTimeText.h"
#include "LocalizationManager.h"
#include "SyncStatusText.h"

namespace {
using Row = StatusMenuRow;
using Command = StatusMenuRow::Command;
using Tint = StatusMenuRow::Tint;

QString pick(const LocalizationManager *loc, const QString &german, const QString &english)
{
    return loc ? loc->pick(german, english) : german;
}

QString shownTime(const LocalizationManager *loc, const QString &stored)
{
    return loc ? storedTimeText(loc, stored) : stored;
}

Row separator()
{
    Row row;
    row.kind = Row::Kind::Separator;
    return row;
}

Row item(QString title, QString toolTip, Command command)
{
    Row row;
    row.title = std::move(title);
    row.toolTip = std::move(toolTip);
    row.command = command;
    return row;
}

Row label(QString title, QString toolTip, Tint tint, int fontPixelSize, bool bold)
{
    Row row = item(std::move(title), std::move(toolTip), Command::None);
    row.tint = tint;
    row.fontPixelSize = fontPixelSize;
    row.bold = bold;
    return row;
}
} // namespace

QList<StatusMenuRow> StatusMenuModel::rows(const StatusMenuState &state, const LocalizationManager *loc)
{
    const auto text = [loc](const QString &german, const QString &english) { return pick(loc, german, english); };
    QList<Row> rows;

    if (state.problem != SyncProblem::None) {
        rows << label(QStringLiteral("⚠️  ") + problemLine(state.problem, state.conflictCause, loc),
                      problemAdvice(state.problem, state.problemMessage, loc), Tint::Orange, 13, true);
        rows << separator();
    }
    if (state.daemonRunning)
        rows << label(text(QStringLiteral("● Auto-Sync aktiv"), QStringLiteral("● Auto-Sync active")), QString(),
                      Tint::Green, 12, false);
    else
        rows << label(text(QStringLiteral("● Auto-Sync gestoppt"), QStringLiteral("● Auto-Sync stopped")), QString(),
                      Tint::Red, 12, false);
    if (!state.lastSuccessfulSync.isEmpty() && state.lastSuccessfulSync != QStringLiteral("—"))
        rows << label(text(QStringLiteral("Zuletzt: "), QStringLiteral("Last: ")) +
                          shownTime(loc, state.lastSuccessfulSync),
                      text(QStringLiteral("Letzter erfolgreicher Sync dieses Macs"),
                           QStringLiteral("This Mac's last successful sync")),
                      Tint::Secondary, 11, false);
    rows << separator();

    if (state.isSyncing) {
        rows << item(text(QStringLiteral("⏳ Synchronisiere…"), QStringLiteral("⏳ Syncing…")), QString(), Command::None);
    } else {
        rows << item(text(QStringLiteral("↑  Dock hochladen (Push)"), QStringLiteral("↑  Upload Dock (Push)")),
                     text(QStringLiteral("Dein aktuelles Dock in den iCloud-Ordner hochladen"),
                          QStringLiteral("Upload your current Dock to the iCloud folder")),
                     Command::Push);
        rows << item(text(QStringLiteral("↓  Dock herunterladen (Pull)"), QStringLiteral("↓  Download Dock (Pull)")),
                     text(QStringLiteral("Das Dock aus dem iCloud-Ordner auf diesen Mac übertragen"),
                          QStringLiteral("Apply the Dock from the iCloud folder to this Mac")),
                     Command::Pull);
        rows << item(text(QStringLiteral("↕  Jetzt synchronisieren (Auto)"), QStringLiteral("↕  Sync now (Auto)")),
                     text(QStringLiteral("Gleiche Docks sind synchron; eine Änderung auf einer Seite wird geteilt; "
                                         "Änderungen auf beiden Seiten werden gemeldet."),
                          QStringLiteral("Equal Docks are in sync; a change on one side is shared; changes on both "
                                         "sides are flagged.")),
                     Command::Auto);
    }
    rows << separator();

    if (state.daemonRunning)
        rows << item(text(QStringLiteral("⏸  Auto-Sync stoppen"), QStringLiteral("⏸  Stop Auto-Sync")),
                     text(QStringLiteral("Den automatischen Hintergrund-Sync deaktivieren"),
                          QStringLiteral("Disable automatic background sync")),
                     Command::StopDaemon);
    else
        rows << item(text(QStringLiteral("▶  Auto-Sync starten"), QStringLiteral("▶  Start Auto-Sync")),
                     text(QStringLiteral("Den automatischen Hintergrund-Sync aktivieren"),
                          QStringLiteral("Enable automatic background sync")),
                     Command::StartDaemon);

    if (!state.hasSyncFolder) {
        // Before the set-up these rows would do nothing; say so instead of failing silently.
        const QString why = text(QStringLiteral("Noch kein Sync-Ordner gewählt – richte Tandrill im Fenster ein."),
                                 QStringLiteral("No sync folder chosen yet – set up Tandrill in its window."));
        for (Row &row : rows) {
            if (row.command == Command::Push || row.command == Command::Pull || row.command == Command::Auto ||
                row.command == Command::StartDaemon) {
                row.unavailable = true;
                row.toolTip = why;
            }
        }
    }

    if (!state.connectedHosts.isEmpty()) {
        rows << separator();
        rows << label(text(QStringLiteral("Verbundene Macs:"), QStringLiteral("Connected Macs:")), QString(),
                      Tint::Secondary, 10, true);
        for (const HostInfo &host : state.connectedHosts)
            rows << item(hostTitle(host, state.hostCustomNames, loc), hostToolTip(host, state.hostCustomNames, loc),
                         Command::None);
    }
    rows << separator();

    rows << item(text(QStringLiteral("Tandrill öffnen…"), QStringLiteral("Open Tandrill…")),
                 text(QStringLiteral("Das Tandrill-Einstellungsfenster öffnen"),
                      QStringLiteral("Open the Tandrill settings window")),
                 Command::OpenWindow);
    // Quitting ends background sync too; the tooltip says so.
    rows << item(text(QStringLiteral("Beenden"), QStringLiteral("Quit")),
                 text(QStringLiteral("Tandrill vollständig beenden (Auto-Sync stoppt bis zum nächsten Start)"),
                      QStringLiteral("Quit Tandrill completely (Auto-Sync stops until Tandrill is opened again)")),
                 Command::Quit);
    return rows;
}

StatusMenuRow::Tint StatusMenuModel::buttonTint(const StatusMenuState &state)
{
    if (state.problem != SyncProblem::None)
        return Tint::Orange;
    return state.daemonRunning ? Tint::Green : Tint::Plain;
}

QString StatusMenuModel::buttonToolTip(const StatusMenuState &state, const LocalizationManager *loc)
{
    if (state.problem != SyncProblem::None)
        return QStringLiteral("Tandrill: ") + problemBadgeText(state.problem, loc) + QStringLiteral(" – ") +
               problemLine(state.problem, state.conflictCause, loc);
    if (state.daemonRunning)
        return pick(loc, QStringLiteral("Tandrill: Auto-Sync aktiv"), QStringLiteral("Tandrill: Auto-Sync active"));
    return pick(loc, QStringLiteral("Tandrill: Auto-Sync gestoppt"), QStringLiteral("Tandrill: Auto-Sync stopped"));
}

QString StatusMenuModel::hostTitle(const HostInfo &host, const QMap<QString, QString> &customNames,
                                   const LocalizationManager *loc)
{
    QString title = QStringLiteral("  ") + customNames.value(host.hostname, host.hostname);
    if (host.isThisMac)
        title += pick(loc, QStringLiteral(" (dieser Mac)"), QStringLiteral(" (this Mac)"));
    return title;
}

QString StatusMenuModel::hostToolTip(const HostInfo &host, const QMap<QString, QString> &customNames,
                                     const LocalizationManager *loc)
{
    const QString action = host.actionLabel();
    const QString time = shownTime(loc, host.lastTime);
    QString text = pick(loc, QStringLiteral("Letzte Aktion: ") + action + QStringLiteral(" um ") + time,
                        QStringLiteral("Last action: ") + action + QStringLiteral(" at ") + time);
    if (customNames.contains(host.hostname))
        text = host.hostname + QStringLiteral(" — ") + text;
    return text;
}
