#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr int kConnectMilliseconds = 500;
constexpr int kRetryMilliseconds = 10;
constexpr qsizetype kMaxMessageBytes = 64;
constexpr int kBacklog = 8;
const QByteArray kShowMessage = QByteArrayLiteral("show\n");

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0; // SO_NOSIGPIPE on the socket instead
#endif

bool addressFor(const QString &name, sockaddr_un *address)
{
    const QByteArray path = QFile::encodeName(name);
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, path.constData(), static_cast<size_t>(path.size()));
    return true;
}

// Non-blocking, not inherited by child processes, and no SIGPIPE when the other end is gone.
void prepare(int socket)
{
    ::fcntl(socket, F_SETFD, FD_CLOEXEC);
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
#ifdef SO_NOSIGPIPE
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

int openSocket()
{
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (socket >= 0)
        prepare(socket);
    return socket;
}

// A connection to the instance listening at `address`; -1 when none answers in time.
int connectTo(const sockaddr_un &address)
{
    const int socket = openSocket();
    if (socket < 0)
        return -1;
    for (int waited = 0; waited <= kConnectMilliseconds; waited += kRetryMilliseconds) {
        if (::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            return socket;
        if (errno == EINPROGRESS) {
            pollfd writable{socket, POLLOUT, 0};
            int error = 0;
            socklen_t length = sizeof error;
            if (::poll(&writable, 1, kConnectMilliseconds) == 1 &&
                ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
                return socket;
            break;
        }
        if (errno != EAGAIN && errno != EINTR)
            break;                           // nobody listens (ECONNREFUSED, ENOENT, …)
        QThread::msleep(kRetryMilliseconds); // its queue of connections is full for the moment
    }
    ::close(socket);
    return -1;
}

void sendAll(int socket, QByteArray data)
{
    while (!data.isEmpty()) {
        const ssize_t sent = ::send(socket, data.constData(), static_cast<size_t>(data.size()), kSendFlags);
        if (sent > 0) {
            data.remove(0, sent);
        } else if (sent < 0 && errno == EAGAIN) {
            pollfd writable{socket, POLLOUT, 0};
            if (::poll(&writable, 1, kConnectMilliseconds) != 1)
                return;
        } else if (sent < 0 && errno != EINTR) {
            return;
        }
    }
}
} // namespace

SingleInstance::SingleInstance(QString serverName, QObject *parent) : QObject(parent), m_name(std::move(serverName)) {}

SingleInstance::~SingleInstance()
{
    const auto connections = m_connections.keys();
    for (QSocketNotifier *connection : connections)
        closeConnection(connection);
    if (m_server >= 0) {
        ::close(m_server);
        ::unlink(QFile::encodeName(m_name).constData());
    }
}

QString SingleInstance::defaultServerName()
{
    // The user's runtime directory keeps the socket private to the user and the session.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && runtime.size() < 80)
        return runtime + QStringLiteral("/tandrill-instance");
    return QDir::tempPath() + QStringLiteral("/tandrill-instance-") + QString::fromLocal8Bit(qgetenv("USER"));
}

bool SingleInstance::claim(bool wakeOther)
{
    sockaddr_un address{};
    if (!addressFor(m_name, &address))
        return true; // run without the guard rather than not at all
    if (const int other = connectTo(address); other >= 0) {
        if (wakeOther)
            sendAll(other, kShowMessage);
        ::close(other);
        return false;
    }
    // Nobody answered: a socket file left by a crashed run may still be there.
    ::unlink(address.sun_path);
    const int server = openSocket();
    if (server < 0)
        return true;
    if (::bind(server, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(server, kBacklog) != 0) {
        ::close(server);
        return true;
    }
    m_server = server;
    auto *notifier = new QSocketNotifier(server, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    for (;;) {
        const int socket = ::accept(m_server, nullptr, nullptr);
        if (socket < 0)
            return; // none left, or a connection that was given up before it was taken
        prepare(socket);
        auto *connection = new QSocketNotifier(socket, QSocketNotifier::Read, this);
        m_connections.insert(connection, {});
        connect(connection, &QSocketNotifier::activated, this, [this, connection] { readFrom(connection); });
    }
}

void SingleInstance::readFrom(QSocketNotifier *connection)
{
    char chunk[kMaxMessageBytes];
    const ssize_t received = ::recv(static_cast<int>(connection->socket()), chunk, sizeof chunk, 0);
    if (received < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    QByteArray &message = m_connections[connection];
    if (received > 0)
        message.append(chunk, received);
    const bool show = message.contains(kShowMessage);
    // The message is one short line; anything else, or the end of the connection, ends it.
    if (received > 0 && !show && message.size() < kMaxMessageBytes)
        return;
    closeConnection(connection);
    if (show)
        emit showRequested();
}

void SingleInstance::closeConnection(QSocketNotifier *connection)
{
    m_connections.remove(connection);
    connection->setEnabled(false);
    ::close(static_cast<int>(connection->socket()));
    connection->deleteLater();
}
