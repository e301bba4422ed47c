#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
constexpr int kConnectMilliseconds = 500;
const QByteArray kShowMessage = QByteArrayLiteral("show\n");
} // namespace

SingleInstance::SingleInstance(QString serverName, QObject *parent) : QObject(parent), m_name(std::move(serverName)) {}

QString SingleInstance::defaultServerName()
{
    // The user's runtime directory keeps the socket private to the user and the session.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && runtime.size() < 80)
        return runtime + QStringLiteral("/tandrill-instance");
    return QStringLiteral("tandrill-instance-") + QString::fromLocal8Bit(qgetenv("USER"));
}

bool SingleInstance::claim(bool wakeOther)
{
    {
        QLocalSocket other;
        other.connectToServer(m_name);
        if (other.waitForConnected(kConnectMilliseconds)) {
            if (wakeOther) {
                other.write(kShowMessage);
                other.waitForBytesWritten(kConnectMilliseconds);
            }
            other.disconnectFromServer();
            return false;
        }
    }
    // Nobody answered: a socket file left by a crashed run may still be there.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true; // run without the guard rather than not at all
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *connection = m_server->nextPendingConnection()) {
            connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
            connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
                if (connection->readAll().contains(kShowMessage))
                    emit showRequested();
            });
        }
    });
    return true;
}
