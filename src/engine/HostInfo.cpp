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

std::optional<QList<HostInfo>> readHostRegistry(const QString &folder, const QString &myHostname)
{
    const QDir directory(folder);
    if (folder.isEmpty() || !directory.exists())
        return std::nullopt;
    QList<HostInfo> hosts;
    const QStringList names =
        directory.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : names) {
        if (!name.startsWith(SyncFormat::kStatusPrefix) || !name.endsWith(SyncFormat::kHostFileSuffix) ||
            SyncFormat::isServiceConflictCopy(name))
            continue;
        const auto bytes =
            SafeFile::readRegularFile(folder + QLatin1Char('/') + name, SyncFormat::kMaxKeyValueFileBytes);
        if (!bytes)
            continue;
        if (auto host = readHostStatus(*bytes, myHostname))
            hosts.append(std::move(*host));
    }
    sortHosts(hosts);
    return hosts;
}
