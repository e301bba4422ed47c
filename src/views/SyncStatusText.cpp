#include "SyncStatusText.h"

#include "LocalizationManager.h"

namespace {
QString pick(const LocalizationManager *locManager, const char *german, const char *english)
{
    const QString de = QString::fromUtf8(german);
    return locManager ? locManager->pick(de, QString::fromUtf8(english)) : de;
}
} // namespace

QString syncStatusText(const SyncStatus &status, const LocalizationManager *locManager)
{
    using Mode = SyncEngine::Mode;
    using Outcome = SyncStatus::Outcome;
    switch (status.phase) {
    case SyncStatus::Phase::Idle:
        return QString();
    case SyncStatus::Phase::Running:
        switch (status.mode) {
        case Mode::Auto:
            return pick(locManager, "Synchronisiere…", "Syncing…");
        case Mode::Push:
            return pick(locManager, "Lade hoch…", "Uploading…");
        case Mode::Pull:
            return pick(locManager, "Lade herunter…", "Downloading…");
        case Mode::Status:
            return QStringLiteral("…");
        }
        return QString();
    case SyncStatus::Phase::Finished:
        break;
    }
    QString text;
    switch (status.outcome) {
    case Outcome::Conflict:
        text = QStringLiteral("⚠ ") + problemLine(SyncProblem::Conflict, status.cause, locManager);
        break;
    case Outcome::FolderMissing:
        text = pick(locManager, "⚠ Sync-Ordner nicht gefunden", "⚠ Sync folder not found");
        break;
    case Outcome::Error:
        // The engine words its own failures in German; the known ones are put in English.
        text =
            QStringLiteral("⚠ ") + engineMessageText(status.errorMessage, locManager ? locManager->lang() : QString());
        break;
    case Outcome::Done:
        text = status.restore ? pick(locManager, "✓ Sicherung wiederhergestellt", "✓ Backup restored")
                              : pick(locManager, "✓ Fertig", "✓ Done");
        break;
    }
    if (!status.followedFolder.isEmpty())
        text += pick(locManager,
                     " · Sync-Ordner umbenannt oder verschoben, jetzt: ", " · Sync folder renamed or moved, now: ") +
                status.followedFolder;
    return text;
}

QString problemBadgeText(SyncProblem problem, const LocalizationManager *locManager)
{
    switch (problem) {
    case SyncProblem::FolderMissing:
        return pick(locManager, "Ordner fehlt", "Folder missing");
    case SyncProblem::Conflict:
        return pick(locManager, "Konflikt", "Conflict");
    case SyncProblem::SharedUnavailable:
        return pick(locManager, "Wartet", "Waiting");
    case SyncProblem::SyncFailed:
        return pick(locManager, "Fehler", "Failed");
    case SyncProblem::None:
        break;
    }
    return QString();
}

QString problemLine(SyncProblem problem, ConflictCause cause, const LocalizationManager *locManager)
{
    switch (problem) {
    case SyncProblem::FolderMissing:
        return pick(locManager, "Sync-Ordner nicht gefunden – es wird nicht synchronisiert",
                    "Sync folder not found – nothing is synced");
    case SyncProblem::Conflict:
        switch (cause) {
        case ConflictCause::Joining:
            return pick(locManager, "Dieser Mac hat ein anderes Dock als das gemeinsame",
                        "This Mac has a different Dock than the shared one");
        case ConflictCause::Overwritten:
            return pick(locManager, "Ein anderer Mac hat das Dock ersetzt, das dieser Mac geteilt hatte",
                        "Another Mac replaced the Dock this Mac had shared");
        case ConflictCause::None:
        case ConflictCause::BothChanged:
            break;
        }
        return pick(locManager, "Das Dock wurde hier und auf einem anderen Mac geändert",
                    "The Dock was changed here and on another Mac");
    case SyncProblem::SharedUnavailable:
        return pick(locManager, "Warte auf das gemeinsame Dock – es ist noch nicht auf diesem Mac",
                    "Waiting for the shared Dock – it is not on this Mac yet");
    case SyncProblem::SyncFailed:
        return pick(locManager, "Der letzte Sync ist fehlgeschlagen", "The last sync failed");
    case SyncProblem::None:
        break;
    }
    return QString();
}

QString problemAdvice(SyncProblem problem, const QString &message, const LocalizationManager *locManager)
{
    switch (problem) {
    case SyncProblem::FolderMissing:
        return pick(locManager, "Prüfe iCloud Drive oder wähle den Ordner neu.",
                    "Check iCloud Drive or choose the folder again.");
    case SyncProblem::Conflict:
        return pick(locManager, "Wähle „Dock dieses Macs behalten“ oder „Gemeinsames Dock verwenden“.",
                    "Choose “Keep this Mac's Dock” or “Use the shared Dock”.");
    case SyncProblem::SharedUnavailable:
    case SyncProblem::SyncFailed:
        return engineMessageText(message, locManager ? locManager->lang() : QString());
    case SyncProblem::None:
        break;
    }
    return QString();
}
