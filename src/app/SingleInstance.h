#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class QSocketNotifier;

// One running app per user: the first launch listens on a local socket; a later launch finds it
// there, asks it to show its window and ends. Plain POSIX sockets rather than Qt Network, which
// would otherwise be loaded by every start just for this.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString serverName = defaultServerName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one instance (it listens from now on). False when another
    // one runs; that one was asked to show its window when `wakeOther` is true.
    bool claim(bool wakeOther);

    static QString defaultServerName();

signals:
    void showRequested();

private:
    void acceptConnections();
    void readFrom(QSocketNotifier *connection);
    void closeConnection(QSocketNotifier *connection);

    QString m_name;
    int m_server = -1;
    QHash<QSocketNotifier *, QByteArray> m_connections; // what each has sent so far
};
