#include "platform/FolderBookmarks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

struct Identity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const Identity &) const = default;
};

std::optional<Identity> directoryIdentity(const QString &path, int *error = nullptr)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        if (error)
            *error = errno;
        return std::nullopt;
    }
    if (!S_ISDIR(info.st_mode)) {
        if (error)
            *error = ENOTDIR;
        return std::nullopt;
    }
    return Identity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
}

// The bookmark records the folder's path and identity. A folder renamed within its parent keeps
// its identity, so it is found again there.
class InodeFolderBookmarks final : public FolderBookmarks {
public:
    Created create(const QString &folder) const override
    {
        int error = 0;
        const auto identity = directoryIdentity(folder, &error);
        if (!identity)
            return {QByteArray(), folder + QLatin1String(": ") + QString::fromLocal8Bit(std::strerror(error))};
        const QJsonObject object{{QStringLiteral("path"), QDir::cleanPath(QFileInfo(folder).absoluteFilePath())},
                                 {QStringLiteral("device"), QString::number(identity->device)},
                                 {QStringLiteral("inode"), QString::number(identity->inode)}};
        return {QJsonDocument(object).toJson(QJsonDocument::Compact), QString()};
    }

    std::optional<Resolved> resolve(const QByteArray &data, QString *error) const override
    {
        const QJsonObject object = QJsonDocument::fromJson(data).object();
        const QString path = object.value(QStringLiteral("path")).toString();
        bool deviceOk = false;
        bool inodeOk = false;
        const Identity wanted{object.value(QStringLiteral("device")).toString().toULongLong(&deviceOk),
                              object.value(QStringLiteral("inode")).toString().toULongLong(&inodeOk)};
        if (path.isEmpty() || !deviceOk || !inodeOk) {
            *error = QStringLiteral("The bookmark data is not valid.");
            return std::nullopt;
        }
        const auto current = directoryIdentity(path);
        if (current && *current == wanted)
            return Resolved{path, false};

        const QString parent = QFileInfo(path).absolutePath();
        const QStringList siblings = QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString &name : siblings) {
            const QString candidate = parent + QLatin1Char('/') + name;
            if (directoryIdentity(candidate) == wanted)
                return Resolved{candidate, true};
        }
        // Another folder now stands at the path (recreated by the sync service, say): it is the
        // folder the user chose by name, so follow it and renew the bookmark.
        if (current)
            return Resolved{path, true};
        *error = path + QLatin1String(": The folder no longer exists.");
        return std::nullopt;
    }

    bool startAccessing(const QString &) override { return true; } // not sandboxed: nothing to open
    void stopAccessing(const QString &) override {}
};

} // namespace

std::unique_ptr<FolderBookmarks> createSystemFolderBookmarks()
{
    return std::make_unique<InodeFolderBookmarks>();
}
