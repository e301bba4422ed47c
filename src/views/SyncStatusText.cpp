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
    switch (status.outcome) {
    case Outcome::Conflict:
        return pick(locManager, "⚠ Konflikt", "⚠ Conflict");
    case Outcome::FolderMissing:
        return pick(locManager, "⚠ Sync-Ordner nicht gefunden", "⚠ Sync folder not found");
    case Outcome::Error:
        // The engine words its own failures.
        return QStringLiteral("⚠ ") + status.errorMessage;
    case Outcome::Done:
        break;
    }
    return pick(locManager, "✓ Fertig", "✓ Done");
}
