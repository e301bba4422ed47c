#include "BenchRegistry.h"
#include "BenchSetup.h"

#include "SyncFormat.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// What a push has to do to the disk at the least, in plain system calls: back the Dock file up
// (dropping the oldest of ten), copy it into the folder through a temporary file with fsync and
// rename, keeping its modification time, write the meta and status files through temporary files
// with fsync, sync both directories once, drop the conflict marker and append two log lines. No
// reads of the folder, no checks, no text.
// The engine's figures are read as multiples of this one.

namespace {

timespec modificationTimeOf(const struct stat &info)
{
#ifdef __APPLE__
    return info.st_mtimespec;
#else
    return info.st_mtim;
#endif
}

class PushFileOps {
public:
    explicit PushFileOps(BenchFolder &folder)
        : m_dock(path(folder.thisMac().dockPath())),
          m_backups(path(folder.thisMac().backupsDirectory()) + "/com.apple.dock.baseline-"),
          m_folder(path(folder.folder())), m_sharedDock(m_folder + "/com.apple.dock.plist"),
          m_meta(m_folder + "/tandrill-meta.txt"), m_status(m_folder + "/status-MacBook-Pro.txt"),
          m_conflict(m_folder + "/conflict-MacBook-Pro.txt"), m_log(m_folder + "/tandrill.log"),
          m_metaBytes(SyncFormat::metaContent(1'736'153'000, BenchSetup::hostName(0),
                                              QDateTime(QDate(2025, 1, 6), QTime(9, 0), QTimeZone::utc()))
                          .toStdString()),
          m_statusBytes(BenchSetup::statusBytes(BenchSetup::hostName(0), QStringLiteral("push"), 0).toStdString()),
          m_logLine(BenchSetup::logLines(1).toStdString())
    {}

    bool run()
    {
        const int source = ::open(m_dock.c_str(), O_RDONLY | O_CLOEXEC);
        if (source < 0)
            return false;
        struct stat info {};
        bool ok = ::fstat(source, &info) == 0;

        const std::string backup = m_backups + std::to_string(m_runs++ % 10) + ".plist";
        ::unlink(backup.c_str());
        ok = ok && copyInto(source, ::open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600), nullptr);

        std::string temporary = m_folder + "/.com.apple.dock.plist.tmp-XXXXXX";
        ok = ok && ::lseek(source, 0, SEEK_SET) == 0 &&
             copyInto(source, ::mkostemp(temporary.data(), O_CLOEXEC), &info) &&
             ::rename(temporary.c_str(), m_sharedDock.c_str()) == 0;
        ::close(source);

        ok = ok && replace(m_meta, m_metaBytes) && replace(m_status, m_statusBytes);
        ok = ok && syncDirectory(m_folder) && syncDirectory(m_backups.substr(0, m_backups.rfind('/')));
        ::unlink(m_conflict.c_str());
        return ok && append(m_log, m_logLine) && append(m_log, m_logLine);
    }

private:
    static std::string path(const QString &text) { return QFile::encodeName(text).toStdString(); }

    static bool writeAll(int fd, const char *data, size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    // Copies source into fd and makes it durable; with info, gives the copy the source's mode and
    // modification time. Closes fd.
    bool copyInto(int source, int fd, const struct stat *info)
    {
        if (fd < 0)
            return false;
        bool ok = true;
        for (;;) {
            const ssize_t n = ::read(source, m_buffer.data(), m_buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            if (!writeAll(fd, m_buffer.data(), static_cast<size_t>(n))) {
                ok = false;
                break;
            }
        }
        if (ok && info) {
            const std::array<timespec, 2> times{timespec{0, UTIME_NOW}, modificationTimeOf(*info)};
            ok = ::fchmod(fd, info->st_mode & 07777) == 0 && ::futimens(fd, times.data()) == 0;
        }
        ok = ok && ::fsync(fd) == 0;
        return ::close(fd) == 0 && ok;
    }

    static bool replace(const std::string &target, const std::string &bytes)
    {
        std::string temporary = target + ".tmp-XXXXXX";
        const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
        return ::close(fd) == 0 && ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    }

    static bool syncDirectory(const std::string &directory)
    {
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool ok = fd >= 0 && ::fsync(fd) == 0;
        return (fd < 0 || ::close(fd) == 0) && ok;
    }

    static bool append(const std::string &target, const std::string &bytes)
    {
        const int fd = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const bool ok = writeAll(fd, bytes.data(), bytes.size());
        return ::close(fd) == 0 && ok;
    }

    std::string m_dock;
    std::string m_backups;
    std::string m_folder;
    std::string m_sharedDock;
    std::string m_meta;
    std::string m_status;
    std::string m_conflict;
    std::string m_log;
    std::string m_metaBytes;
    std::string m_statusBytes;
    std::string m_logLine;
    std::array<char, 64 * 1024> m_buffer{};
    unsigned m_runs = 0;
};

void pushFileOps(benchmark::State &state)
{
    BenchFolder folder(4);
    PushFileOps push(folder);
    for (auto _ : state) {
        if (!push.run()) {
            state.SkipWithError("a file operation failed");
            break;
        }
    }
}

} // namespace

void registerBaselineBenchmarks()
{
    benchmark::RegisterBenchmark(kBaselineName, pushFileOps)->UseRealTime();
}
