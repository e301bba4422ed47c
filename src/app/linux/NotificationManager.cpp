#include "NotificationManager.h"

#include "AppLog.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace {
constexpr uchar kNormalUrgency = 1;
constexpr int kServerDefaultTimeout = -1;
} // namespace

NotificationManager::NotificationManager(TrayPresenter trayPresenter, QObject *parent)
    : QObject(parent), m_trayPresenter(std::move(trayPresenter))
{}

void NotificationManager::send(const QString &body, const QString &title)
{
    requestPermission();
    // Queued even on the GUI thread: joining the bus happens on this object's thread, never on the
    // engine's, whose send must not wait.
    QMetaObject::invokeMethod(
        this, [this, body, title] { post(body, title); }, Qt::QueuedConnection);
}

void NotificationManager::post(const QString &body, const QString &title)
{
    if (!m_connection)
        m_connection = QDBusConnection::sessionBus();
    if (!m_connection->isConnected()) {
        qCDebug(lcApp) << "no session bus; notification shown by the tray item";
        if (m_trayPresenter)
            m_trayPresenter(title, body);
        return;
    }

    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kNormalUrgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tandrill"));
    // replaces_id 0: every notification is a new one, never replacing an earlier one.
    message << QString(kApplicationName) << 0u << QString() << title << body << QStringList() << hints
            << kServerDefaultTimeout;
    // Sent without waiting for the reply: no answer, or an error for a missing service, is fine.
    if (!m_connection->send(message))
        qCDebug(lcApp) << "notification could not be sent:" << m_connection->lastError().message();
}
