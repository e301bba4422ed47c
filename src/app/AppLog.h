#pragma once

#include <QLoggingCategory>

// Diagnostics of the application shell (tray, notifications, updater); no user sees them.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
