#pragma once

#include "platform/Notifier.h"

#include <QDBusConnection>
#include <QMutex>

#include <atomic>

// Desktop notifications through the freedesktop notification service (org.freedesktop.
// Notifications on the session bus): the product name as application, the title as summary,
// the German body. The engine sends from its worker thread; a send never waits for the
// service, and a missing service is simply no notification.
class NotificationManager : public Notifier {
public:
    static constexpr QLatin1StringView kService{"org.freedesktop.Notifications"};
    static constexpr QLatin1StringView kPath{"/org/freedesktop/Notifications"};
    static constexpr QLatin1StringView kInterface{"org.freedesktop.Notifications"};
    static constexpr QLatin1StringView kApplicationName{"Tandrill"};

    explicit NotificationManager(QDBusConnection connection = QDBusConnection::sessionBus());

    // Asks at most once per run. The freedesktop service needs no permission, so it is granted.
    void requestPermission();
    bool permissionRequested() const { return m_permissionRequested; }
    bool permissionGranted() const { return m_permissionGranted; }
    int permissionRequests() const { return m_permissionRequests; }

    void send(const QString &body, const QString &title) override;

private:
    QMutex m_mutex; // guards m_connection
    QDBusConnection m_connection;
    std::atomic<bool> m_permissionRequested{false};
    std::atomic<bool> m_permissionGranted{false};
    std::atomic<int> m_permissionRequests{0};
};
