#include "SyncEngine.h"

#include "SafeFile.h"
#include "SyncFormat.h"
#include "platform/DockRestarter.h"
#include "platform/Notifier.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

using namespace SyncFormat;

namespace {

const QString kTitle = QStringLiteral("Tandrill");

// Dock files are some kilobytes; anything far larger is not compared, only synced by time.
constexpr qint64 kMaxComparedDockBytes = 16 * 1024 * 1024;

QString lastPathComponent(const QString &path)
{
    return QFileInfo(QDir::cleanPath(path)).fileName();
}

// Backups of one second are named "<stamp><suffix>.plist", then "<stamp><suffix>-2.plist", "-3", …:
// the name without its counter, and the counter as a number (1 when there is none).
std::pair<QString, int> backupNameOrder(const QString &name)
{
    QString base = name.chopped(QLatin1String(".plist").size());
    int counter = 1;
    const qsizetype dash = base.lastIndexOf(QLatin1Char('-'));
    bool isNumber = false;
    const int number = dash < 0 ? 0 : QStringView(base).mid(dash + 1).toInt(&isNumber);
    if (isNumber && number >= 2) {
        counter = number;
        base.truncate(dash);
    }
    return {base, counter};
}

} // namespace

EngineServices EngineServices::forCurrentUser()
{
    EngineServices services;
    services.homeDirectory = QDir::homePath();
    services.backupsDirectory = standardBackupsDirectory();
    return services;
}

QString EngineServices::standardBackupsDirectory()
{
    // ~/Library/Application Support on macOS, $XDG_DATA_HOME (~/.local/share) on Linux.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/Library/Application Support");
    return base + QLatin1String("/Tandrill/Backups");
}

QString SyncEngine::Result::name() const
{
    switch (m_kind) {
    case Kind::Error:
        return QStringLiteral("error");
    case Kind::Pushed:
        return QStringLiteral("pushed");
    case Kind::Pulled:
        return QStringLiteral("pulled");
    case Kind::InSync:
        return QStringLiteral("inSync");
    case Kind::Conflict:
        return QStringLiteral("conflict");
    case Kind::StatusWritten:
        return QStringLiteral("statusWritten");
    }
    return QStringLiteral("error");
}

SyncEngine::SyncEngine(QString syncFolderPath, QString hostname, EngineServices services)
    : m_syncFolderPath(std::move(syncFolderPath)), m_hostname(std::move(hostname)), m_services(std::move(services))
{}

SyncEngine::Result SyncEngine::run(Mode mode)
{
    ensureDirectory(m_syncFolderPath);
    ensureDirectory(backupsDirectory());
    switch (mode) {
    case Mode::Auto:
        return autoSync();
    case Mode::Push:
        return push();
    case Mode::Pull:
        return pull();
    case Mode::Status:
        writeStatus(QStringLiteral("online"));
        log(QStringLiteral("STATUS: Präsenz registriert"));
        return Result::statusWritten();
    }
    return Result::error(QString());
}

SyncEngine::Result SyncEngine::push()
{
    log(QLatin1String("PUSH: Sende lokales Dock nach ") + lastPathComponent(m_syncFolderPath) + QStringLiteral(" …"));
    if (const auto failure = backupLocalDock(QString()))
        return pushFailed(*failure);
    // The copy keeps the Dock file's modification time, so the shared copy and the meta file agree.
    if (const auto failure = replaceItem(localDockPath(), folderFile(kDockFileName)))
        return pushFailed(*failure);
    // The status records the meta file's time; when this push just wrote it, that is known.
    const double pushedTime = localDockMTime();
    if (writeMeta(pushedTime))
        writeStatus(QStringLiteral("push"), readNumber(QString::fromLatin1(wholeNumberText(pushedTime))));
    else
        writeStatus(QStringLiteral("push"));
    removeOwnConflictMarker();
    log(QStringLiteral("PUSH: Erfolgreich hochgeladen"));
    notify(QStringLiteral("Dock nach iCloud hochgeladen ✅"));
    return Result::pushed();
}

SyncEngine::Result SyncEngine::pull()
{
    log(QLatin1String("PULL: Hole Dock-Konfiguration von ") + lastPathComponent(m_syncFolderPath) +
        QStringLiteral(" …"));
    const QString shared = folderFile(kDockFileName);
    if (!SafeFile::exists(shared)) {
        log(QStringLiteral("PULL: Keine Konfiguration in iCloud gefunden"));
        notify(QStringLiteral("⚠️ Keine Dock-Konfiguration im Sync-Ordner gefunden"));
        return Result::error(QStringLiteral("Keine gemeinsame Konfiguration vorhanden"));
    }
    // A shared copy that is not a file, or is empty, is half-arrived or evicted: applying it would
    // wipe the user's Dock. Refuse it before anything local changes.
    qint64 sharedSize = 0;
    if (const SafeFile::IoResult checked = SafeFile::statRegularFile(shared, &sharedSize); !checked.ok())
        return pullFailed(checked.description);
    if (sharedSize == 0)
        return pullFailed(QLatin1String(kDockFileName) + QLatin1String(": Die Datei im Sync-Ordner ist leer"));

    if (const auto failure = backupLocalDock(QStringLiteral("_vor_pull")))
        return pullFailed(*failure);

    // The applied file takes the pushed time recorded in the meta file, so that this Mac and the
    // pusher agree and neither pushes the file straight back (the sync service may not keep
    // modification times). A shared copy older than the meta file has not fully arrived yet: it
    // keeps its own time, so the next automatic run pulls again once the newer copy is there.
    const double recorded = remoteMTime();
    const double sharedTime = SafeFile::modificationTime(shared).value_or(0);
    std::optional<double> appliedTime;
    if (recorded > 0 && std::trunc(sharedTime) >= recorded)
        appliedTime = recorded;

    ensureDirectory(QFileInfo(localDockPath()).absolutePath());
    if (const auto failure = replaceItem(shared, localDockPath(), appliedTime, true))
        return pullFailed(*failure);
    if (m_services.dockRestarter)
        m_services.dockRestarter->restartDock();
    writeStatus(QStringLiteral("pull"));
    removeOwnConflictMarker();
    log(QStringLiteral("PULL: Dock aktualisiert und neu gestartet"));
    notify(QStringLiteral("Dock von iCloud geladen ✅"));
    return Result::pulled();
}

SyncEngine::Result SyncEngine::autoSync()
{
    const double local = localDockMTime();
    const double remote = remoteMTime();
    const QString pusher = readMeta(QStringLiteral("host")).value_or(QStringLiteral("unbekannt"));
    const double lastPulled = readLastPulled();

    log(QLatin1String("AUTO: Lokal=") + roundedText(local) + QLatin1String("  iCloud=") + roundedText(remote) +
        QLatin1String(" (von: ") + pusher + QLatin1String(")  MeinLetzterPull=") + roundedText(lastPulled));

    // The stored times are whole seconds; compare the local one the same way, so an unchanged Dock
    // right after its own push is in sync.
    const double localWhole = std::trunc(local);

    // Both sides holding the same time is no conflict, whatever this Mac last recorded: a status
    // write lost after a pull would otherwise ask the user to choose between two equal Docks.
    if (lastPulled > 0 && lastPulled < localWhole && lastPulled < remote && pusher != m_hostname &&
        localWhole != remote) {
        log(QStringLiteral("KONFLIKT: Lokales Dock UND iCloud-Dock wurden seit letztem Sync verändert"));
        notify(QStringLiteral("⚠️ Konflikt erkannt — bitte Push oder Pull manuell wählen"));
        SafeFile::writeAtomically(hostFileURL(kConflictPrefix), QByteArray());
        return Result::conflict();
    }
    if (remote == 0) {
        log(QStringLiteral("AUTO: Erstmalige Synchronisation → Push"));
        return push();
    }
    if (remote < localWhole) {
        log(QStringLiteral("AUTO: Lokales Dock ist aktueller → Push"));
        return push();
    }
    if (localWhole < remote) {
        log(QLatin1String("AUTO: iCloud-Dock ist aktueller (von ") + pusher + QStringLiteral(") → Pull"));
        return pull();
    }
    // Equal times, yet the folder holds another Dock than the push its meta file records: the sync
    // service delivered the two files apart, or kept each from a different Mac's push. Left alone,
    // the Macs would stay apart for good. The Mac the meta file names restores its push; every
    // other Mac takes the folder's copy.
    if (sharedCopyContradicts(remote)) {
        if (pusher == m_hostname) {
            log(QStringLiteral("AUTO: iCloud-Dock ist nicht der eigene letzte Push → Push"));
            return push();
        }
        log(QLatin1String("AUTO: iCloud-Dock weicht bei gleicher Zeit ab (von ") + pusher + QStringLiteral(") → Pull"));
        return pull();
    }
    log(QStringLiteral("AUTO: Dock ist bereits synchron"));
    writeStatus(QStringLiteral("sync"));
    notify(QStringLiteral("Dock bereits synchron ✅"));
    return Result::inSync();
}

QString SyncEngine::hostFileURL(QLatin1StringView prefix) const
{
    return folderFile(QLatin1StringView()) + hostFileName(prefix, m_hostname);
}

QString SyncEngine::folderFile(QLatin1StringView name) const
{
    return m_syncFolderPath + QLatin1Char('/') + name;
}

QString SyncEngine::localDockPath() const
{
    return m_services.homeDirectory + QLatin1String("/Library/Preferences/com.apple.dock.plist");
}

void SyncEngine::ensureDirectory(const QString &path)
{
    if (!path.isEmpty())
        QDir().mkpath(path);
}

double SyncEngine::localDockMTime() const
{
    return SafeFile::modificationTime(localDockPath()).value_or(0);
}

std::optional<QString> SyncEngine::readMeta(const QString &key) const
{
    const auto bytes = SafeFile::readRegularFile(folderFile(kMetaFileName), kMaxKeyValueFileBytes);
    if (!bytes)
        return std::nullopt;
    const auto values = parseKeyValues(*bytes);
    if (!values || !values->contains(key))
        return std::nullopt;
    return values->value(key);
}

double SyncEngine::remoteMTime() const
{
    const auto value = readMeta(QStringLiteral("mtime"));
    return value ? readNumber(*value) : 0;
}

double SyncEngine::readLastPulled() const
{
    const auto bytes = SafeFile::readRegularFile(hostFileURL(kStatusPrefix), kMaxKeyValueFileBytes);
    if (!bytes)
        return 0;
    const auto values = parseKeyValues(*bytes);
    if (!values)
        return 0;
    const auto it = values->constFind(QStringLiteral("last_pulled"));
    return it == values->cend() ? 0 : readNumber(*it);
}

bool SyncEngine::writeMeta(double mtime) const
{
    return SafeFile::writeAtomically(folderFile(kMetaFileName), metaContent(mtime, m_hostname, now())).ok();
}

void SyncEngine::writeStatus(const QString &action) const
{
    // "last_pulled" is the shared state this Mac last agreed with. Announcing presence agrees with
    // nothing: it keeps the recorded value, or a launch would hide a conflict that arose meanwhile.
    writeStatus(action, action == QLatin1String("online") ? readLastPulled() : remoteMTime());
}

void SyncEngine::writeStatus(const QString &action, double lastPulled) const
{
    SafeFile::writeAtomically(hostFileURL(kStatusPrefix), statusContent(m_hostname, action, now(), lastPulled));
}

void SyncEngine::log(const QString &message) const
{
    const QByteArray line = logLine(now(), m_hostname, message);
    const QString path = folderFile(kLogFileName);
    // The folder is made only when it is missing, not checked before every line.
    SafeFile::IoResult appended = SafeFile::append(path, line);
    if (appended.errorCode == ENOENT) {
        ensureDirectory(m_syncFolderPath);
        appended = SafeFile::append(path, line);
    }
    if (!appended.ok())
        return;

    // Keep the newest lines: 502 pieces are 501 lines plus the empty piece after the last line
    // feed, and are cut to 500 pieces. Only the tail is ever read; a log larger than that is cut
    // to its complete lines within it. Line feeds are found as bytes, so one bad byte cannot stop
    // the trimming and let the log grow without bound, and in place, so the trim every append at
    // the cap does stays cheap.
    const auto tail = SafeFile::readRegularFileTail(path, kMaxLogReadBytes);
    if (!tail)
        return;
    const QByteArray &bytes = tail->bytes;
    std::vector<qsizetype> feeds; // indexOf finds them with memchr
    for (qsizetype feed = bytes.indexOf('\n'); feed >= 0; feed = bytes.indexOf('\n', feed + 1))
        feeds.push_back(feed);
    auto pieces = static_cast<qsizetype>(feeds.size()) + 1;
    qsizetype start = 0;
    if (tail->truncated) {
        start = feeds.empty() ? bytes.size() : feeds.front() + 1;
        --pieces;
    } else if (pieces < 502) {
        return;
    }
    if (pieces > 500) // the newest 500 pieces begin after the 500th line feed from the end
        start = feeds[feeds.size() - 500] + 1;
    SafeFile::writeAtomically(path, bytes.sliced(start));
}

std::optional<QString> SyncEngine::backupLocalDock(const QString &suffix) const
{
    const QString dock = localDockPath();
    if (!SafeFile::exists(dock))
        return std::nullopt;
    const QString directory = backupsDirectory();
    ensureDirectory(directory);
    const QString baseName = QLatin1String("com.apple.dock.") + backupStampText(now()) + suffix;
    const QString base = directory + QLatin1Char('/') + baseName;
    // A second backup within the same second gets "-2", "-3", … before the extension. The counter
    // goes on from the highest one there: a lower name freed by pruning would sort as the oldest.
    // Names are matched here, ignoring case as a QDir name filter would: such a filter compiles a
    // regular expression on every call, which cost more than the rest of the backup.
    int first = 1;
    for (const QString &name : QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!name.startsWith(baseName, Qt::CaseInsensitive) ||
            !name.endsWith(QLatin1String(".plist"), Qt::CaseInsensitive))
            continue;
        if (const auto [takenBase, counter] = backupNameOrder(name); takenBase == baseName)
            first = std::max(first, counter + 1);
    }
    for (int attempt = first; attempt < first + 1000; ++attempt) {
        const QString counter = attempt == 1 ? QString() : QLatin1Char('-') + QString::number(attempt);
        const QString name = base + counter + QLatin1String(".plist");
        const SafeFile::IoResult copied = SafeFile::copyExclusive(dock, name);
        if (copied.ok()) {
            pruneBackups();
            return std::nullopt;
        }
        if (copied.errorCode != EEXIST)
            return copied.description;
    }
    return SafeFile::IoResult::failure(EEXIST, base).description;
}

void SyncEngine::pruneBackups(int keep) const
{
    const QDir directory(backupsDirectory());
    if (!directory.exists())
        return;
    struct Entry {
        QString path;
        std::pair<QString, int> name;
        double mtime;
    };
    std::vector<Entry> entries;
    for (const QString &name : directory.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        if (QFileInfo(name).suffix() != QLatin1String("plist"))
            continue;
        const QString path = directory.filePath(name);
        entries.push_back({path, backupNameOrder(name),
                           SafeFile::modificationTime(path).value_or(-std::numeric_limits<double>::infinity())});
    }
    // Newest first. Backups of an unchanged Dock file share its modification time; their names
    // carry the time they were taken, and their counters the order within one second.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.mtime != b.mtime ? a.mtime > b.mtime : a.name > b.name;
    });
    for (size_t i = static_cast<size_t>(std::max(keep, 0)); i < entries.size(); ++i)
        SafeFile::remove(entries[i].path);
}

std::optional<QString> SyncEngine::replaceItem(const QString &source, const QString &destination,
                                               std::optional<double> modificationTime, bool refuseEmptySource)
{
    const SafeFile::IoResult result =
        SafeFile::copyReplacing(source, destination, {refuseEmptySource, modificationTime});
    if (result.ok())
        return std::nullopt;
    return result.description;
}

// The copy a push leaves carries the pushed Dock's time, which the meta file records. A copy with
// another time was put there by someone else; it contradicts the meta file when its bytes also
// differ from this Mac's Dock. An empty or unreadable copy is half-arrived and never counts.
bool SyncEngine::sharedCopyContradicts(double remote) const
{
    const QString shared = folderFile(kDockFileName);
    const auto sharedTime = SafeFile::modificationTime(shared);
    if (!sharedTime || std::trunc(*sharedTime) == remote)
        return false;
    qint64 sharedSize = 0;
    qint64 localSize = 0;
    if (!SafeFile::statRegularFile(shared, &sharedSize).ok() || sharedSize == 0 ||
        !SafeFile::statRegularFile(localDockPath(), &localSize).ok())
        return false;
    if (sharedSize != localSize)
        return true;
    const auto sharedBytes = SafeFile::readRegularFile(shared, kMaxComparedDockBytes);
    const auto localBytes = SafeFile::readRegularFile(localDockPath(), kMaxComparedDockBytes);
    return sharedBytes && localBytes && *sharedBytes != *localBytes;
}

QDateTime SyncEngine::now() const
{
    return m_services.now ? m_services.now() : QDateTime::currentDateTime();
}

void SyncEngine::notify(const QString &body) const
{
    if (m_services.notifier)
        m_services.notifier->send(body, kTitle);
}

void SyncEngine::removeOwnConflictMarker() const
{
    SafeFile::remove(hostFileURL(kConflictPrefix));
}

SyncEngine::Result SyncEngine::pushFailed(const QString &description) const
{
    const QString message = QLatin1String("PUSH FEHLER: ") + description;
    log(message);
    notify(QStringLiteral("❌ Push fehlgeschlagen"));
    return Result::error(message);
}

SyncEngine::Result SyncEngine::pullFailed(const QString &description) const
{
    const QString message = QLatin1String("PULL FEHLER: ") + description;
    log(message);
    notify(QStringLiteral("❌ Pull fehlgeschlagen"));
    return Result::error(message);
}
