#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <memory>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Files of a cloud-synced folder can be listed without being readable now: iCloud Drive evicts a
// file to a placeholder (before macOS 14 a hidden stub ".NAME.icloud" instead of NAME, since then
// a "dataless" file under the same name) and fetches it on demand. Such a file is not missing, and
// deciding as if it were would overwrite what other Macs shared.
class CloudFiles {
public:
    enum class State { Present, Absent, Unavailable };

    virtual ~CloudFiles() = default;

    // Present: a regular file that can be read now. Absent: nothing there, not even a stub.
    // Unavailable: a stub, something that is not a regular file, or a file that cannot be read.
    virtual State state(const QString &path) const = 0;

    // Asks the sync service to fetch the file; returns at once.
    virtual void requestDownload(const QString &path) = 0;

    // The rules every system shares (stub name, file type, readability).
    static State portableState(const QString &path);
    // Those rules after the file's flags from stat (st_flags on macOS): a file that carries
    // datalessFlag kept its name but not its data, evicted since macOS 14, and is unavailable.
    static State stateFromFlags(const QString &path, quint32 flags, quint32 datalessFlag);
    // The stub iCloud Drive leaves for an evicted file: ".NAME.icloud" beside it.
    static QString stubPath(const QString &path);
};

std::unique_ptr<CloudFiles> createSystemCloudFiles();

inline QString CloudFiles::stubPath(const QString &path)
{
    const QFileInfo info(path);
    return info.path() + QLatin1String("/.") + info.fileName() + QLatin1String(".icloud");
}

inline CloudFiles::State CloudFiles::stateFromFlags(const QString &path, quint32 flags, quint32 datalessFlag)
{
    return (flags & datalessFlag) != 0 ? State::Unavailable : portableState(path);
}

inline CloudFiles::State CloudFiles::portableState(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0) {
        if (errno != ENOENT)
            return State::Unavailable;
        struct stat link {};
        if (::lstat(native.constData(), &link) == 0) // a link to nothing
            return State::Unavailable;
        return ::access(QFile::encodeName(stubPath(path)).constData(), F_OK) == 0 ? State::Unavailable : State::Absent;
    }
    if (!S_ISREG(status.st_mode))
        return State::Unavailable;
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return State::Unavailable;
    ::close(fd);
    return State::Present;
}
