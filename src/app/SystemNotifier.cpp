#include "SystemNotifier.h"

#include "CenterNotifier.h"
#include "TrayNotifier.h"
#include "platform/UserNotificationCenter.h"

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

std::unique_ptr<SystemNotifier> createSystemNotifier(TrayPresenter trayPresenter, std::function<void()> refused)
{
    if (auto center = createUserNotificationCenter())
        return std::make_unique<CenterNotifier>(std::move(center), std::move(refused));
#ifdef TANDRILL_FREEDESKTOP_NOTIFICATIONS
    // It looks for the session bus on its first notification and falls back to the tray there.
    return std::make_unique<NotificationManager>(std::move(trayPresenter));
#else
    return std::make_unique<TrayNotifier>(std::move(trayPresenter));
#endif
}
