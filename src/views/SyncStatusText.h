#pragma once

#include "SyncManager.h"

#include <QString>

class LocalizationManager;

// The line under the sync buttons, worded in the interface language. Empty while no sync runs
// and after the coordinator cleared it.
QString syncStatusText(const SyncStatus &status, const LocalizationManager *locManager);
