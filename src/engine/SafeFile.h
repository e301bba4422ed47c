#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

// Small, careful file operations for the Dock file, the backups and the shared folder.
//
// Files in the shared folder may be half-delivered by the sync service, evicted, replaced by
// something that is not a file at all, or written by another Mac at the same moment. So every
// read here is bounded and only ever opens regular files (a FIFO or device would block forever),
// and every write goes to a temporary file beside the target that is renamed over it at the end.
// The temporary file reaches the disk before the rename, and the rename before the write returns:
// after a power cut the target is the old file or the new one, never an empty one.
//
// Anyone who can write to the shared folder can also plant a symbolic link there, and some sync
// services carry links between Macs. So no operation here follows a link in the last component
// of a path: a link in place of a file is refused (ELOOP) as not available, and is replaced, not
// written through, by an atomic write. Links in the directories above are the user's own choice
// (the shared folder itself may be one) and are followed.
namespace SafeFile {

struct IoResult {
    int errorCode = 0; // errno of the step that failed; 0 on success
    QString description;

    bool ok() const { return errorCode == 0; }
    static IoResult failure(int code, const QString &path);
    static IoResult failure(int code, const QString &path, qint64 maxBytes); // names the limit for EFBIG
};

struct Tail {
    QByteArray bytes;
    bool truncated = false; // the file was larger than the bytes returned; the first line is partial
};

// The whole file when it is a regular file of at most maxBytes; otherwise none.
std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxBytes);

// At most the last maxBytes of a regular file.
std::optional<Tail> readRegularFileTail(const QString &path, qint64 maxBytes);

// Writes bytes to a temporary file beside path and renames it over path.
IoResult writeAtomically(const QString &path, const QByteArray &bytes);

struct CopyOptions {
    bool refuseEmptySource = false;
    std::optional<double> modificationTime; // the copy's mtime; by default the source's
    std::optional<qint64> maxBytes;         // a larger source is refused (EFBIG) and nothing is written
};

// Copies source into a temporary file beside destination and renames it over destination, so the
// destination is always either the old file or the complete new one.
IoResult copyReplacing(const QString &source, const QString &destination, const CopyOptions &options = {});

// Copies source to a destination that must not exist yet (EEXIST when it does, a link included).
IoResult copyExclusive(const QString &source, const QString &destination, const CopyOptions &options = {});

// Appends bytes to a regular file, creating it when missing.
IoResult append(const QString &path, const QByteArray &bytes);

// An advisory lock (flock) on a local lock file, held for the object's life; writers of one file
// on one machine take it around their append and trim so none of them loses the other's lines.
// Without the lock file (it cannot be created) the holder goes on unlocked. The first form waits as
// long as another holder keeps it; the second gives up after `wait`, and busy() then says so.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const QString &lockFilePath);
    ExclusiveLock(const QString &lockFilePath, std::chrono::milliseconds wait);
    ~ExclusiveLock();
    ExclusiveLock(const ExclusiveLock &) = delete;
    ExclusiveLock &operator=(const ExclusiveLock &) = delete;
    bool held() const { return m_fd >= 0; }
    bool busy() const { return m_busy; }

private:
    void acquire(const QString &lockFilePath, std::optional<std::chrono::milliseconds> wait);

    int m_fd = -1;
    bool m_busy = false;
};

// Removes the temporary files that writes to one of targetNames in directory leave when they are
// killed halfway ("." + name + ".tmp-" + six characters), once they have not been touched for
// olderThanSeconds. Returns how many were removed.
int removeStaleTempFiles(const QString &directory, const QStringList &targetNames, double olderThanSeconds);

// What identifies one version of a file cheaply: a change of any field means new content.
struct Stamp {
    qint64 size = -1;
    double mtime = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool regular = false;
    bool operator==(const Stamp &) const = default;
};
std::optional<Stamp> stamp(const QString &path);

// Modification time in seconds since 1970 with fractions; none when it cannot be read.
std::optional<double> modificationTime(const QString &path);
bool setModificationTime(const QString &path, double seconds);

// Success when path names a regular file (a link is not one); its size goes to *size.
IoResult statRegularFile(const QString &path, qint64 *size = nullptr);

bool isRegularFile(const QString &path); // a link is not one
bool isSymbolicLink(const QString &path);
bool isDirectory(const QString &path); // links followed: for folders the user chose
bool exists(const QString &path);      // anything at path, a dangling link included
bool remove(const QString &path);      // removes a link itself, never its target

// Test seam. A full disk, an I/O error or a folder vanishing halfway through a write cannot be
// produced on demand (least of all as root, where permissions do not stop anything), so tests
// install an injector that every writing step above consults first: given the step and the
// file it is for (the destination, never the temporary name), it returns the errno to fail
// with, or 0 to go on; it may also act on the file system at that moment. Unset, nothing changes.
enum class Step { Create, Write, Sync, Rename }; // Sync: the written file to the disk, before its rename
using FaultInjector = std::function<int(Step step, const QString &path)>;
void setFaultInjector(FaultInjector injector); // an empty function removes it

} // namespace SafeFile
