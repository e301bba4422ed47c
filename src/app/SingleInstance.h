#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running app per user: the first launch listens on a local socket; a later launch finds it
// there, asks it to show its window and ends.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString serverName = defaultServerName(), QObject *parent = nullptr);

    // True when this process is the one instance (it listens from now on). False when another
    // one runs; that one was asked to show its window when `wakeOther` is true.
    bool claim(bool wakeOther);

    static QString defaultServerName();

signals:
    void showRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};
