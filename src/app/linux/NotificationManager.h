#pragma once

#include "SystemNotifier.h"

#include <QDBusConnection>
#include <QMutex>

// Desktop notifications through the freedesktop notification service (org.freedesktop.
// Notifications on the session bus): the product name as application, the title as summary,
// the German body. The engine sends from its worker thread; a send never waits for the
// service, and a missing service is simply no notification.
class NotificationManager : public SystemNotifier {
public:
    static constexpr QLatin1StringView kService{"org.freedesktop.Notifications"};
    static constexpr QLatin1StringView kPath{"/org/freedesktop/Notifications"};
    static constexpr QLatin1StringView kInterface{"org.freedesktop.Notifications"};
    static constexpr QLatin1StringView kApplicationName{"Tandrill"};

    explicit NotificationManager(QDBusConnection connection = QDBusConnection::sessionBus());

    void send(const QString &body, const QString &title) override;

private:
    QMutex m_mutex; // guards m_connection
    QDBusConnection m_connection;
};
