#pragma once

#include "SystemNotifier.h"

#include <QDBusConnection>
#include <QObject>

#include <optional>

// Desktop notifications through the freedesktop notification service (org.freedesktop.
// Notifications on the session bus): the product name as application, the title as summary,
// the German body. The engine sends from its worker thread; a send never waits for the
// service, and a missing service is simply no notification.
// The session bus is joined on the first notification, not at start: most runs post none, and a
// connection costs a thread of its own and the bus library's working memory. Every send is queued
// to the thread this object lives on (the GUI thread), which joins the bus and posts in order;
// without a session bus the tray item shows the message instead.
class NotificationManager : public QObject, public SystemNotifier {
    Q_OBJECT

public:
    static constexpr QLatin1StringView kService{"org.freedesktop.Notifications"};
    static constexpr QLatin1StringView kPath{"/org/freedesktop/Notifications"};
    static constexpr QLatin1StringView kInterface{"org.freedesktop.Notifications"};
    static constexpr QLatin1StringView kApplicationName{"Tandrill"};

    // Create on the GUI thread.
    explicit NotificationManager(TrayPresenter trayPresenter, QObject *parent = nullptr);

    void send(const QString &body, const QString &title) override;

private:
    void post(const QString &body, const QString &title);

    TrayPresenter m_trayPresenter;
    std::optional<QDBusConnection> m_connection; // touched on this object's thread only
};
