#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One local backup of the Dock file.
struct BackupInfo {
    QString name;    // file name in the backups directory
    QDateTime taken; // from the name; the file's time when the name carries none
    QString action;  // what it was taken before: "push", "pull" or "restore"
    qint64 size = 0;

    bool operator==(const BackupInfo &) const = default;
};

Q_DECLARE_METATYPE(BackupInfo)
