#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One Mac found in the sync folder through its status file.
struct HostInfo {
    QUuid id; // new on every read; follow a Mac by hostname
    QString hostname;
    QString lastAction;
    QString lastTime;
    QString machine; // the hashed identity of the computer that wrote it; empty from older versions
    bool isThisMac = false;

    QString actionIcon() const;  // symbol name for lastAction
    QString actionLabel() const; // "Push", "Pull", "Online" or "Sync"
};

// The Macs registered in folder: this Mac first, then ascending by host name (code points of
// the normalized names). None when the folder cannot be listed.
std::optional<QList<HostInfo>> readHostRegistry(const QString &folder, const QString &myHostname);

// One status file's record; none when it is unreadable or has no hostname.
std::optional<HostInfo> readHostStatus(const QByteArray &bytes, const QString &myHostname);

void sortHosts(QList<HostInfo> &hosts);
