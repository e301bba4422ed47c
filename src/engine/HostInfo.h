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
    bool inConflict = false; // its conflict marker lies in the folder: it waits for its user's choice

    QString actionIcon() const;  // symbol name for lastAction
    QString actionLabel() const; // "Push", "Pull", "Online" or "Sync"
};

// The Macs registered in folder: this Mac first, then ascending by host name (code points of
// the normalized names). None when the folder cannot be listed.
std::optional<QList<HostInfo>> readHostRegistry(const QString &folder, const QString &myHostname);

// One status file's record; none when it is unreadable or has no hostname.
std::optional<HostInfo> readHostStatus(const QByteArray &bytes, const QString &myHostname);

void sortHosts(QList<HostInfo> &hosts);

// The safe name that hostname's status file and conflict marker carry in folder, the one answer for
// the engine and the coordinator. Usually SyncFormat::fileSafeName; but names that clean alike
// ("Anna’s MacBook", "Annas MacBook"), or that a Mac's file system takes for one ("MacBook",
// "macbook"), must not share a file: the first Mac keeps that name, and a Mac that finds it taken
// by another host name uses SyncFormat::distinctFileSafeName from then on. A file that cannot be
// read now says nothing about its owner.
QString hostFileStem(const QString &folder, const QString &hostname);
// folder + "/" + prefix ("status-", "conflict-") + hostFileStem + ".txt"
QString hostFilePath(const QString &folder, QLatin1StringView prefix, const QString &hostname);
