#pragma once

#include "SyncManager.h"

#include <QString>

class LocalizationManager;

// The line under the sync buttons, worded in the interface language. Empty while no sync runs
// and after the coordinator cleared it.
QString syncStatusText(const SyncStatus &status, const LocalizationManager *locManager);

// What keeps this Mac from syncing, in the header, the tray and its tooltip: a short word for
// the badge, one line, and the way out. The conflict's words match the banner's buttons.
QString problemBadgeText(SyncProblem problem, const LocalizationManager *locManager);
QString problemLine(SyncProblem problem, ConflictCause cause, const LocalizationManager *locManager);
QString problemAdvice(SyncProblem problem, const QString &message, const LocalizationManager *locManager);
