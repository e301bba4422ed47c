#include "NotificationManager.h"

#include "AppLog.h"

#include <QDBusMessage>
#include <QMutexLocker>
#include <QVariantMap>

namespace {
constexpr uchar kNormalUrgency = 1;
constexpr int kServerDefaultTimeout = -1;
} // namespace

NotificationManager::NotificationManager(QDBusConnection connection) : m_connection(std::move(connection)) {}

void NotificationManager::send(const QString &body, const QString &title)
{
    requestPermission();

    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kNormalUrgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tandrill"));
    // replaces_id 0: every notification is a new one, never replacing an earlier one.
    message << QString(kApplicationName) << 0u << QString() << title << body << QStringList() << hints
            << kServerDefaultTimeout;

    QMutexLocker locker(&m_mutex);
    if (!m_connection.isConnected()) {
        qCDebug(lcApp) << "no session bus; notification dropped";
        return;
    }
    // Sent without waiting for the reply: no answer, or an error for a missing service, is fine.
    if (!m_connection.send(message))
        qCDebug(lcApp) << "notification could not be sent:" << m_connection.lastError().message();
}
