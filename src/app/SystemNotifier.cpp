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

NotifierKind chooseNotifierKind(bool freedesktopBuiltIn, bool sessionBusConnected)
{
    return freedesktopBuiltIn && sessionBusConnected ? NotifierKind::Freedesktop : NotifierKind::Tray;
}

std::unique_ptr<SystemNotifier> createSystemNotifier(TrayPresenter trayPresenter)
{
#ifdef TANDRILL_FREEDESKTOP_NOTIFICATIONS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (chooseNotifierKind(true, bus.isConnected()) == NotifierKind::Freedesktop)
        return std::make_unique<NotificationManager>(std::move(bus));
#endif
    return std::make_unique<TrayNotifier>(std::move(trayPresenter));
}
