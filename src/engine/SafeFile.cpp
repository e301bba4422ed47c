#include "SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace SafeFile {
namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

std::mutex g_injectorMutex;
std::shared_ptr<const FaultInjector> g_injector;

// True when a test made this step fail; errno then holds the injected error.
bool faultInjected(Step step, const QString &path)
{
    std::shared_ptr<const FaultInjector> injector;
    {
        const std::lock_guard lock(g_injectorMutex);
        injector = g_injector;
    }
    const int error = injector ? (*injector)(step, path) : 0;
    if (error == 0)
        return false;
    errno = error;
    return true;
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : m_fd(other.release()) {}
    Fd &operator=(Fd &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = other.release();
        }
        return *this;
    }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// O_NONBLOCK keeps open() itself from hanging on a FIFO; fstat then rejects everything but files.
// O_NOFOLLOW refuses a link planted in place of the file.
int openRegularForReading(const QString &path, struct stat *info)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, info) != 0 || !S_ISREG(info->st_mode)) {
        const int error = S_ISDIR(info->st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool readFully(int fd, char *buffer, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool writeFully(int fd, const char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

// Waits until what was written to fd is on the disk. On macOS fsync only hands the data to the
// drive, whose cache a power cut empties; F_FULLFSYNC waits for the drive itself, and where a file
// system does not offer it (network and some external volumes), fsync is what there is.
bool syncToDisk(int fd)
{
#ifdef __APPLE__
    if (::fcntl(fd, F_FULLFSYNC) == 0)
        return true;
#endif
    int synced = -1;
    do
        synced = ::fsync(fd);
    while (synced != 0 && errno == EINTR);
    return synced == 0;
}

bool syncWritten(int fd, const QString &path)
{
    return !faultInjected(Step::Sync, path) && syncToDisk(fd);
}

// A rename or a new name lives in its directory: until the directory is on the disk, a power cut
// may bring back the old entry. A directory that cannot be opened for it (no read permission) or a
// file system that cannot sync one (EINVAL) is no failure of the write; an I/O error is.
bool syncDirectoryOf(const QString &path)
{
    const Fd directory(::open(encoded(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return !directory.valid() || syncToDisk(directory.get()) || errno == EINVAL || errno == ENOTSUP || errno == EROFS;
}

timespec toTimespec(double seconds)
{
    double whole = std::floor(seconds);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(whole);
    ts.tv_nsec = static_cast<long>(std::lround((seconds - whole) * 1e9));
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

double mtimeOf(const struct stat &info)
{
#ifdef __APPLE__
    const timespec &ts = info.st_mtimespec;
#else
    const timespec &ts = info.st_mtim;
#endif
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double ctimeOf(const struct stat &info)
{
#ifdef __APPLE__
    const timespec &ts = info.st_ctimespec;
#else
    const timespec &ts = info.st_ctim;
#endif
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Streams the open source into fd, then gives it the wanted mtime and the source's permissions and
// syncs it to the disk. A source that grows past maxBytes while it is copied fails with EFBIG.
bool copyContents(int sourceFd, const struct stat &sourceInfo, int fd, const QString &destination,
                  std::optional<double> mtime, std::optional<qint64> maxBytes)
{
    std::array<char, 64 * 1024> buffer{};
    qint64 copied = 0;
    for (;;) {
        const ssize_t n = ::read(sourceFd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        copied += n;
        if (maxBytes && copied > *maxBytes) {
            errno = EFBIG;
            return false;
        }
        if (!writeFully(fd, buffer.data(), n))
            return false;
    }
    ::fchmod(fd, sourceInfo.st_mode & 07777);
    const std::array<timespec, 2> times{timespec{0, UTIME_NOW}, toTimespec(mtime.value_or(mtimeOf(sourceInfo)))};
    if (::futimens(fd, times.data()) != 0)
        return false;
    return syncWritten(fd, destination);
}

struct TempFile {
    Fd fd;
    QByteArray path;
};

constexpr QLatin1StringView kTempMarker{".tmp-"};
constexpr qsizetype kTempRandomLength = 6; // mkostemp's XXXXXX

TempFile createTempBeside(const QString &target)
{
    const QFileInfo info(target);
    QByteArray pattern = encoded(info.absolutePath() + QLatin1String("/.") + info.fileName() + kTempMarker +
                                 QString(kTempRandomLength, QLatin1Char('X')));
    TempFile temp;
    temp.fd = Fd(::mkostemp(pattern.data(), O_CLOEXEC));
    temp.path = pattern;
    return temp;
}

// Removes a temporary file that is not going to be used; errno stays what the failure set.
void removeTemp(const TempFile &temp)
{
    const int error = errno;
    ::unlink(temp.path.constData());
    errno = error;
}

// Moves a written and synced temporary file over `destination`; when that fails, the temporary
// file goes.
IoResult renameIntoPlace(TempFile &temp, const QString &destination)
{
    temp.fd.reset();
    if (faultInjected(Step::Rename, destination) ||
        ::rename(temp.path.constData(), encoded(destination).constData()) != 0) {
        removeTemp(temp);
        return IoResult::failure(errno, destination);
    }
    if (!syncDirectoryOf(destination))
        return IoResult::failure(errno, destination);
    return {};
}

// A source refused before anything is written, by its size.
std::optional<IoResult> refusedSource(const QString &source, const struct stat &info, const CopyOptions &options)
{
    if (options.refuseEmptySource && info.st_size == 0)
        return IoResult{ENODATA, QFileInfo(source).fileName() + QLatin1String(": Die Datei ist leer")};
    if (options.maxBytes && info.st_size > *options.maxBytes)
        return IoResult::failure(EFBIG, source, *options.maxBytes);
    return std::nullopt;
}

} // namespace

IoResult IoResult::failure(int code, const QString &path)
{
    const int error = code ? code : EIO;
    const QString name = QFileInfo(path).fileName();
    // O_NOFOLLOW reports a link as a loop; say what it is.
    if (error == ELOOP)
        return {error, name + QStringLiteral(": ist ein symbolischer Link und nicht verfügbar")};
    return {error, name + QLatin1String(": ") + QString::fromLocal8Bit(std::strerror(error))};
}

IoResult IoResult::failure(int code, const QString &path, qint64 maxBytes)
{
    if (code != EFBIG)
        return failure(code, path);
    return {code, QFileInfo(path).fileName() + QStringLiteral(": Die Datei ist größer als ") +
                      QString::number(maxBytes / (1024 * 1024)) + QLatin1String(" MiB")};
}

std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxBytes)
{
    struct stat info {};
    Fd fd(openRegularForReading(path, &info));
    if (!fd.valid() || info.st_size > maxBytes)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    if (!readFully(fd.get(), bytes.data(), info.st_size))
        return std::nullopt;
    return bytes;
}

std::optional<Tail> readRegularFileTail(const QString &path, qint64 maxBytes)
{
    struct stat info {};
    Fd fd(openRegularForReading(path, &info));
    if (!fd.valid())
        return std::nullopt;
    Tail tail;
    qint64 size = info.st_size;
    if (size > maxBytes) {
        if (::lseek(fd.get(), static_cast<off_t>(size - maxBytes), SEEK_SET) < 0)
            return std::nullopt;
        size = maxBytes;
        tail.truncated = true;
    }
    tail.bytes = QByteArray(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (!readFully(fd.get(), tail.bytes.data(), size))
        return std::nullopt;
    return tail;
}

IoResult writeAtomically(const QString &path, const QByteArray &bytes)
{
    if (faultInjected(Step::Create, path))
        return IoResult::failure(errno, path);
    TempFile temp = createTempBeside(path);
    if (!temp.fd.valid())
        return IoResult::failure(errno, path);
    if (faultInjected(Step::Write, path) || !writeFully(temp.fd.get(), bytes.constData(), bytes.size())) {
        removeTemp(temp);
        return IoResult::failure(errno, path);
    }
    ::fchmod(temp.fd.get(), 0644);
    if (!syncWritten(temp.fd.get(), path)) {
        removeTemp(temp);
        return IoResult::failure(errno, path);
    }
    return renameIntoPlace(temp, path);
}

IoResult copyReplacing(const QString &source, const QString &destination, const CopyOptions &options)
{
    struct stat sourceInfo {};
    Fd sourceFd(openRegularForReading(source, &sourceInfo));
    if (!sourceFd.valid())
        return IoResult::failure(errno, source);
    if (const auto refused = refusedSource(source, sourceInfo, options))
        return *refused;

    if (faultInjected(Step::Create, destination))
        return IoResult::failure(errno, destination);
    TempFile temp = createTempBeside(destination);
    if (!temp.fd.valid())
        return IoResult::failure(errno, destination);
    if (faultInjected(Step::Write, destination) || !copyContents(sourceFd.get(), sourceInfo, temp.fd.get(), destination,
                                                                 options.modificationTime, options.maxBytes)) {
        removeTemp(temp);
        return errno == EFBIG ? IoResult::failure(EFBIG, source, options.maxBytes.value_or(0))
                              : IoResult::failure(errno, destination);
    }
    if (options.refuseEmptySource && ::lseek(temp.fd.get(), 0, SEEK_END) == 0) {
        removeTemp(temp);
        return {ENODATA, QFileInfo(source).fileName() + QLatin1String(": Die Datei ist leer")};
    }
    return renameIntoPlace(temp, destination);
}

IoResult copyExclusive(const QString &source, const QString &destination, const CopyOptions &options)
{
    struct stat sourceInfo {};
    Fd sourceFd(openRegularForReading(source, &sourceInfo));
    if (!sourceFd.valid())
        return IoResult::failure(errno, source);
    if (const auto refused = refusedSource(source, sourceInfo, options))
        return *refused;
    if (faultInjected(Step::Create, destination))
        return IoResult::failure(errno, destination);
    const QByteArray target = encoded(destination);
    Fd fd(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid())
        return IoResult::failure(errno, destination);
    if (faultInjected(Step::Write, destination) ||
        !copyContents(sourceFd.get(), sourceInfo, fd.get(), destination, options.modificationTime, options.maxBytes)) {
        const int error = errno;
        ::unlink(target.constData());
        return error == EFBIG ? IoResult::failure(error, source, options.maxBytes.value_or(0))
                              : IoResult::failure(error, destination);
    }
    if (!syncDirectoryOf(destination))
        return IoResult::failure(errno, destination);
    return {};
}

IoResult append(const QString &path, const QByteArray &bytes)
{
    if (faultInjected(Step::Create, path))
        return IoResult::failure(errno, path);
    Fd fd(::open(encoded(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.valid())
        return IoResult::failure(errno, path);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return IoResult::failure(EINVAL, path);
    if (faultInjected(Step::Write, path) || !writeFully(fd.get(), bytes.constData(), bytes.size()))
        return IoResult::failure(errno, path);
    return {};
}

ExclusiveLock::ExclusiveLock(const QString &lockFilePath)
{
    acquire(lockFilePath, std::nullopt);
}

ExclusiveLock::ExclusiveLock(const QString &lockFilePath, std::chrono::milliseconds wait)
{
    acquire(lockFilePath, wait);
}

void ExclusiveLock::acquire(const QString &lockFilePath, std::optional<std::chrono::milliseconds> wait)
{
    if (lockFilePath.isEmpty())
        return;
    const QByteArray path = encoded(lockFilePath);
    constexpr int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    m_fd = ::open(path.constData(), flags, 0600);
    if (m_fd < 0 && errno == ENOENT && QDir().mkpath(QFileInfo(lockFilePath).absolutePath()))
        m_fd = ::open(path.constData(), flags, 0600);
    if (m_fd < 0)
        return;
    int locked = -1;
    if (!wait) {
        do
            locked = ::flock(m_fd, LOCK_EX);
        while (locked != 0 && errno == EINTR);
    } else {
        // flock cannot wait for a while only; ask again until the time is up.
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + *wait;
        for (;;) {
            locked = ::flock(m_fd, LOCK_EX | LOCK_NB);
            if (locked == 0 || (errno != EWOULDBLOCK && errno != EINTR))
                break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                m_busy = true;
                break;
            }
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(20)));
        }
    }
    if (locked != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

ExclusiveLock::~ExclusiveLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor releases the lock
}

int removeStaleTempFiles(const QString &directory, const QStringList &targetNames, double olderThanSeconds)
{
    const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    int removed = 0;
    const QStringList names = QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString &name : names) {
        const bool ours = std::any_of(targetNames.begin(), targetNames.end(), [&name](const QString &target) {
            const qsizetype length = 1 + target.size() + kTempMarker.size() + kTempRandomLength;
            return name.size() == length && name.startsWith(QLatin1Char('.')) &&
                   QStringView(name).sliced(1).startsWith(QString(target + kTempMarker));
        });
        if (!ours)
            continue;
        const QByteArray path = encoded(directory + QLatin1Char('/') + name);
        struct stat info {};
        // The status change time, not the mtime: a copy in progress carries its source's old mtime.
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) || now - ctimeOf(info) < olderThanSeconds)
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

std::optional<double> modificationTime(const QString &path)
{
    struct stat info {};
    if (::lstat(encoded(path).constData(), &info) != 0)
        return std::nullopt;
    return mtimeOf(info);
}

std::optional<Stamp> stamp(const QString &path)
{
    struct stat info {};
    if (::lstat(encoded(path).constData(), &info) != 0)
        return std::nullopt;
    return Stamp{static_cast<qint64>(info.st_size), mtimeOf(info), static_cast<quint64>(info.st_ino),
                 static_cast<quint64>(info.st_dev), S_ISREG(info.st_mode)};
}

bool setModificationTime(const QString &path, double seconds)
{
    const std::array<timespec, 2> times{timespec{0, UTIME_NOW}, toTimespec(seconds)};
    return ::utimensat(AT_FDCWD, encoded(path).constData(), times.data(), AT_SYMLINK_NOFOLLOW) == 0;
}

IoResult statRegularFile(const QString &path, qint64 *size)
{
    struct stat info {};
    if (::lstat(encoded(path).constData(), &info) != 0)
        return IoResult::failure(errno, path);
    if (!S_ISREG(info.st_mode))
        return IoResult::failure(S_ISDIR(info.st_mode) ? EISDIR : S_ISLNK(info.st_mode) ? ELOOP : EINVAL, path);
    if (size)
        *size = info.st_size;
    return {};
}

bool isRegularFile(const QString &path)
{
    struct stat info {};
    return ::lstat(encoded(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isSymbolicLink(const QString &path)
{
    struct stat info {};
    return ::lstat(encoded(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool isDirectory(const QString &path)
{
    struct stat info {};
    return !path.isEmpty() && ::stat(encoded(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const QString &path)
{
    struct stat info {};
    return ::lstat(encoded(path).constData(), &info) == 0;
}

bool remove(const QString &path)
{
    return ::unlink(encoded(path).constData()) == 0;
}

void setFaultInjector(FaultInjector injector)
{
    auto installed = injector ? std::make_shared<const FaultInjector>(std::move(injector)) : nullptr;
    const std::lock_guard lock(g_injectorMutex);
    g_injector = std::move(installed);
}

} // namespace SafeFile
