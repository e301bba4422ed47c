#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

// A folder reference that survives the folder being renamed: its path and its identity (device
// and inode). The app runs outside the sandbox, so macOS needs no security-scoped bookmark and
// uses the same portable data as Linux.
class FolderBookmarks {
public:
    struct Resolved {
        QString path;
        bool stale = false; // found, but the data should be created anew
    };
    struct Created {
        QByteArray data;
        QString error; // set when data could not be created
    };

    virtual ~FolderBookmarks() = default;
    virtual Created create(const QString &folder) const = 0;
    // The folder, or the error text when the data does not resolve.
    virtual std::optional<Resolved> resolve(const QByteArray &data, QString *error) const = 0;
    virtual bool startAccessing(const QString &folder) = 0;
    virtual void stopAccessing(const QString &folder) = 0;
};

std::unique_ptr<FolderBookmarks> createSystemFolderBookmarks();
