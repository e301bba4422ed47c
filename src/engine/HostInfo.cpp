#include "HostInfo.h"

#include "SafeFile.h"
#include "SyncFormat.h"

#include <QDir>

#include <algorithm>

QString HostInfo::actionIcon() const
{
    if (lastAction == QLatin1String("push"))
        return QStringLiteral("arrow.up.circle.fill");
    if (lastAction == QLatin1String("pull"))
        return QStringLiteral("arrow.down.circle.fill");
    if (lastAction == QLatin1String("online"))
        return QStringLiteral("wifi");
    return QStringLiteral("arrow.triangle.2.circlepath");
}

QString HostInfo::actionLabel() const
{
    if (lastAction == QLatin1String("push"))
        return QStringLiteral("Push");
    if (lastAction == QLatin1String("pull"))
        return QStringLiteral("Pull");
    if (lastAction == QLatin1String("online"))
        return QStringLiteral("Online");
    return QStringLiteral("Sync");
}

std::optional<HostInfo> readHostStatus(const QByteArray &bytes, const QString &myHostname)
{
    const auto values = SyncFormat::parseKeyValues(bytes);
    if (!values || values->isEmpty())
        return std::nullopt;
    const auto hostname = values->constFind(QStringLiteral("hostname"));
    if (hostname == values->cend())
        return std::nullopt;
    HostInfo host;
    host.id = QUuid::createUuid();
    host.hostname = *hostname;
    host.lastAction = values->value(QStringLiteral("last_action"), QStringLiteral("sync"));
    host.lastTime = values->value(QStringLiteral("last_time"), QStringLiteral("—"));
    host.machine = values->value(QStringLiteral("machine"));
    // Status files carry the cleaned name; compare like with like.
    host.isThisMac = host.hostname == SyncFormat::cleanHostName(myHostname);
    return host;
}

void sortHosts(QList<HostInfo> &hosts)
{
    // Compare code points of the canonically composed names: case-sensitive, no locale.
    QList<std::pair<QList<uint>, qsizetype>> keys;
    keys.reserve(hosts.size());
    for (qsizetype i = 0; i < hosts.size(); ++i)
        keys.append({hosts[i].hostname.normalized(QString::NormalizationForm_C).toUcs4(), i});
    std::stable_sort(keys.begin(), keys.end(), [&hosts](const auto &a, const auto &b) {
        const bool aMine = hosts[a.second].isThisMac;
        const bool bMine = hosts[b.second].isThisMac;
        if (aMine != bMine)
            return aMine;
        return a.first < b.first;
    });
    QList<HostInfo> sorted;
    sorted.reserve(hosts.size());
    for (const auto &key : keys)
        sorted.append(std::move(hosts[key.second]));
    hosts = std::move(sorted);
}

namespace {

// The host name in the status file folder holds for stem, found as a Mac's file system finds it.
std::optional<QString> statusOwner(const QString &folder, const QString &stem)
{
    const QString name = SyncFormat::kStatusPrefix + stem + SyncFormat::kHostFileSuffix;
    QString path = folder + QLatin1Char('/') + name;
    if (!SafeFile::exists(path)) {
        // Only where the file system tells case and normal forms apart; a Mac's found it above.
        const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
        const auto found = std::find_if(entries.begin(), entries.end(), [&name](const QString &entry) {
            return SyncFormat::sameFileNameOnMac(entry, name);
        });
        if (found == entries.end())
            return std::nullopt;
        path = folder + QLatin1Char('/') + *found;
    }
    const auto bytes = SafeFile::readRegularFile(path, SyncFormat::kMaxKeyValueFileBytes);
    const auto values = bytes ? SyncFormat::parseKeyValues(*bytes) : std::nullopt;
    if (!values || !values->contains(QStringLiteral("hostname")))
        return std::nullopt;
    return values->value(QStringLiteral("hostname"));
}

} // namespace

QString hostFileStem(const QString &folder, const QString &hostname)
{
    const QString cleaned = SyncFormat::cleanHostName(hostname);
    if (folder.isEmpty())
        return SyncFormat::fileSafeName(cleaned);
    // One name in two normal forms is one Mac; in two cases, two Macs.
    const auto mine = [&cleaned](const std::optional<QString> &owner) {
        return owner &&
               owner->normalized(QString::NormalizationForm_C) == cleaned.normalized(QString::NormalizationForm_C);
    };
    const QString distinct = SyncFormat::distinctFileSafeName(cleaned);
    if (mine(statusOwner(folder, distinct)))
        return distinct;
    const std::optional<QString> owner = statusOwner(folder, SyncFormat::fileSafeName(cleaned));
    return owner && !mine(owner) ? distinct : SyncFormat::fileSafeName(cleaned);
}

QString hostFilePath(const QString &folder, QLatin1StringView prefix, const QString &hostname)
{
    return folder + QLatin1Char('/') + prefix + hostFileStem(folder, hostname) + SyncFormat::kHostFileSuffix;
}

std::optional<QList<HostInfo>> readHostRegistry(const QString &folder, const QString &myHostname)
{
    const QDir directory(folder);
    if (folder.isEmpty() || !directory.exists())
        return std::nullopt;
    QList<HostInfo> hosts;
    const QStringList names =
        directory.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    const auto isStatusFile = [](const QString &name) {
        return name.startsWith(SyncFormat::kStatusPrefix) && name.endsWith(SyncFormat::kHostFileSuffix) &&
               !SyncFormat::isServiceConflictCopy(name);
    };
    for (const QString &entry : names) {
        // A status file the cloud evicted leaves only its stub ".NAME.icloud": that Mac is still
        // there, shown by the name its file carries until the file is back.
        const bool stub = entry.startsWith(QLatin1Char('.')) && entry.endsWith(QLatin1String(".icloud"));
        const QString name = stub ? entry.mid(1).chopped(7) : entry;
        if (!isStatusFile(name) || (stub && names.contains(name)))
            continue;
        if (stub) {
            HostInfo host;
            host.id = QUuid::createUuid();
            host.hostname = name.mid(SyncFormat::kStatusPrefix.size()).chopped(SyncFormat::kHostFileSuffix.size());
            host.lastAction = QStringLiteral("sync");
            host.lastTime = QStringLiteral("—");
            host.isThisMac = host.hostname == hostFileStem(folder, myHostname);
            hosts.append(std::move(host));
            continue;
        }
        const auto bytes =
            SafeFile::readRegularFile(folder + QLatin1Char('/') + name, SyncFormat::kMaxKeyValueFileBytes);
        if (!bytes)
            continue;
        if (auto host = readHostStatus(*bytes, myHostname)) {
            host->inConflict = names.contains(SyncFormat::hostFileName(SyncFormat::kConflictPrefix, host->hostname));
            hosts.append(std::move(*host));
        }
    }
    sortHosts(hosts);
    return hosts;
}
