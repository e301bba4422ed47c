#include "SystemNotifier.h"

#include "TrayNotifier.h"

#ifdef TANDRILL_FREEDESKTOP_NOTIFICATIONS
#include "NotificationManager.h"
#endif

void SystemNotifier::requestPermission()
{
    if (m_permissionRequested.exchange(true))
        return;
    ++m_permissionRequests;
    m_permissionGranted = askPermission();
}

std::unique_ptr<SystemNotifier> createSystemNotifier(TrayPresenter trayPresenter)
{
#ifdef TANDRILL_FREEDESKTOP_NOTIFICATIONS
    // It looks for the session bus on its first notification and falls back to the tray there.
    return std::make_unique<NotificationManager>(std::move(trayPresenter));
#else
    return std::make_unique<TrayNotifier>(std::move(trayPresenter));
#endif
}
