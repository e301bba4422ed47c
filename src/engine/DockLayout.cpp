#include "DockLayout.h"

#include "DockPlist.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <algorithm>

using namespace DockPlist;
using namespace Qt::StringLiterals;

namespace {

DockTile readTile(plist_t tile, const Homes &homes, bool folders)
{
    const TileKey key = tileKey(tile, homes);
    DockTile result{key.label, localPath(key.url, homes), key.identity, key.content};
    QString path = QUrl(key.url).path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QString name = QFileInfo(path).fileName();
    // A folder's label is in the language of the Mac that wrote it ("Dokumente"); its name in the
    // home is the same on every Mac.
    const bool inHome = !key.url.isEmpty() && canonicalText(key.url, homes).startsWith(QLatin1String("file://~"));
    if ((folders && inHome && !name.isEmpty()) || result.label.isEmpty())
        result.label = !name.isEmpty() ? name : key.url;
    if (result.label.isEmpty())
        result.label = string(item(tile, "tile-type"));
    return result;
}

QList<DockTile> readTiles(plist_t array, const Homes &homes, bool folders)
{
    QList<DockTile> tiles;
    if (!array || plist_get_node_type(array) != PLIST_ARRAY)
        return tiles;
    const uint32_t size = plist_array_get_size(array);
    tiles.reserve(size);
    for (uint32_t i = 0; i < size; ++i)
        tiles.append(readTile(plist_array_get_item(array, i), homes, folders));
    return tiles;
}

bool sameContent(const QList<DockTile> &a, const QList<DockTile> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const DockTile &x, const DockTile &y) { return x.content == y.content; });
}

// Tiles of `from` that `against` does not hold, counting repeated tiles (spacers) one by one.
QStringList missingFrom(const QList<DockTile> &from, const QList<DockTile> &against)
{
    QHash<QByteArray, int> available;
    for (const DockTile &tile : against)
        ++available[tile.identity];
    QStringList labels;
    for (const DockTile &tile : from) {
        int &count = available[tile.identity];
        if (count > 0)
            --count;
        else
            labels.append(tile.label);
    }
    return labels;
}

// The identities both sides hold, in the order of `tiles`.
QList<QByteArray> commonOrder(const QList<DockTile> &tiles, const QList<DockTile> &other)
{
    QHash<QByteArray, int> available;
    for (const DockTile &tile : other)
        ++available[tile.identity];
    QList<QByteArray> order;
    for (const DockTile &tile : tiles) {
        int &count = available[tile.identity];
        if (count > 0) {
            --count;
            order.append(tile.identity);
        }
    }
    return order;
}

// A setting's canonical value as a person reads it, for the plain kinds; empty for the others.
QString shownValue(const QByteArray &canonical)
{
    if (canonical == "T" || canonical == "F")
        return canonical == "T" ? QStringLiteral("✓") : QStringLiteral("✗");
    if (canonical.startsWith('i') || canonical.startsWith('r'))
        return QString::fromLatin1(canonical.mid(1));
    if (canonical.startsWith('s')) {
        const qsizetype colon = canonical.indexOf(':');
        return colon > 0 ? QString::fromUtf8(canonical.mid(colon + 1)) : QString();
    }
    return QString();
}

} // namespace

const QList<DockLayout::LeftOut> &DockLayout::leftOut()
{
    using enum LeftOut::Where;
    using enum LeftOut::Unless;
    static const QList<LeftOut> entries{
        // Bookkeeping the Dock rewrites after every restart and now and then on its own.
        {"mod-count"_L1, TopLevel, true, Nothing, "a change counter, counted on each Mac"},
        {"lastShowIndicatorTime"_L1, TopLevel, true, Nothing, "when the Dock last showed a hint"},
        {"last-analytics-stamp"_L1, TopLevel, true, Nothing, "when this Mac last reported usage"},
        {"last-messagetrace-stamp"_L1, TopLevel, true, Nothing, "when this Mac last reported usage"},
        {"loc"_L1, TopLevel, true, Nothing, "the language this Mac's Dock last ran in"},
        {"region"_L1, TopLevel, true, Nothing, "the region this Mac's Dock last ran in"},
        {"trash-full"_L1, TopLevel, true, Nothing, "whether this Mac's trash holds something"},
        {"recent-apps"_L1, TopLevel, true, Nothing, "the apps this Mac used lately, some not installed elsewhere"},
        {"GUID"_L1, Tile, true, Nothing, "a number the Dock gives each tile anew"},
        {"book"_L1, TileData, true, Nothing, "bookmark data of this Mac's file system, refreshed by the Dock"},
        {"file-mod-date"_L1, TileData, true, Nothing, "when the file last changed on this Mac"},
        {"parent-mod-date"_L1, TileData, true, Nothing, "when the file's folder last changed on this Mac"},
        // What follows from what a tile points at.
        {"file-label"_L1, TileData, false, PointsAtSomething,
         "the name in the language of the Mac that wrote it; the Dock writes it anew from the file"},
        {"file-data"_L1, TileData, false, HasBundleIdentifier,
         "where the app lies on the Mac that wrote it; the same app may lie elsewhere on another"},
    };
    return entries;
}

const QStringList &DockLayout::volatileKeys()
{
    static const QStringList keys = [] {
        QStringList bookkeeping;
        for (const LeftOut &entry : leftOut()) {
            if (entry.bookkeeping)
                bookkeeping.append(entry.key);
        }
        return bookkeeping;
    }();
    return keys;
}

const QStringList &DockLayout::lookKeys()
{
    // Size, magnification, position, hiding, the minimise effect and what the Dock shows beside the
    // apps: what suits a laptop screen may not suit a large display.
    static const QStringList keys{
        QStringLiteral("tilesize"),
        QStringLiteral("magnification"),
        QStringLiteral("largesize"),
        QStringLiteral("orientation"),
        QStringLiteral("autohide"),
        QStringLiteral("autohide-delay"),
        QStringLiteral("autohide-time-modifier"),
        QStringLiteral("mineffect"),
        QStringLiteral("show-recents"),
        QStringLiteral("show-process-indicators"),
    };
    return keys;
}

DockLayout DockLayout::withoutLook() const
{
    DockLayout copy = *this;
    for (const QString &key : lookKeys())
        copy.settings.remove(key);
    return copy;
}

std::optional<DockLayout> DockLayout::parse(const QByteArray &bytes, const QString &homeDirectory)
{
    const Ptr root = DockPlist::parse(bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    plist_t apps = plist_dict_get_item(root.get(), kApps);
    if (apps && plist_get_node_type(apps) != PLIST_ARRAY)
        return std::nullopt;

    const Homes homes(homeDirectory);
    DockLayout layout;
    layout.apps = readTiles(apps, homes, false);
    layout.others = readTiles(plist_dict_get_item(root.get(), kOthers), homes, true);
    forEachItem(root.get(), [&](QLatin1StringView name, plist_t value) {
        if (name != QLatin1StringView(kApps) && name != QLatin1StringView(kOthers) && !leftOutOfSettings(name))
            layout.settings.insert(QString::fromUtf8(name.data(), name.size()), canonical(value, homes));
    });
    return layout;
}

bool DockLayout::operator==(const DockLayout &other) const
{
    return settings == other.settings && sameContent(apps, other.apps) && sameContent(others, other.others);
}

QByteArray DockLayout::identity() const
{
    // Every part goes in with its length, so no two layouts give the same stream.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto add = [&hash](QByteArrayView part) {
        hash.addData(QByteArray::number(part.size()));
        hash.addData(":");
        hash.addData(part);
    };
    for (auto it = settings.cbegin(); it != settings.cend(); ++it) {
        add(it.key().toUtf8());
        add(it.value());
    }
    for (const QList<DockTile> *tiles : {&apps, &others}) {
        add("tiles");
        add(QByteArray::number(tiles->size()));
        for (const DockTile &tile : *tiles)
            add(tile.content);
    }
    return QByteArray(kIdentityVersion.data(), kIdentityVersion.size()) + ':' + hash.result().toHex();
}

bool DockLayout::isKnownIdentity(QByteArrayView identity)
{
    const QByteArrayView prefix(kIdentityVersion.data(), kIdentityVersion.size());
    if (identity.size() != prefix.size() + 1 + 64 || !identity.startsWith(prefix) || identity[prefix.size()] != ':')
        return false;
    const QByteArrayView digest = identity.sliced(prefix.size() + 1);
    return std::all_of(digest.begin(), digest.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

DockDifference DockDifference::between(const DockLayout &here, const DockLayout &shared,
                                       const std::function<bool(const QString &)> &pathExists)
{
    DockDifference difference;
    difference.result = here == shared ? Result::Same : Result::Different;
    difference.appsAdded = missingFrom(shared.apps, here.apps);
    difference.appsRemoved = missingFrom(here.apps, shared.apps);
    difference.othersAdded = missingFrom(shared.others, here.others);
    difference.othersRemoved = missingFrom(here.others, shared.others);
    difference.orderChanged = commonOrder(shared.apps, here.apps) != commonOrder(here.apps, shared.apps) ||
                              commonOrder(shared.others, here.others) != commonOrder(here.others, shared.others);
    QStringList keys = here.settings.keys() + shared.settings.keys();
    keys.removeDuplicates();
    std::sort(keys.begin(), keys.end());
    for (const QString &key : keys) {
        if (here.settings.value(key) != shared.settings.value(key) ||
            here.settings.contains(key) != shared.settings.contains(key)) {
            difference.settingsChanged.append(key);
            const QString before = shownValue(here.settings.value(key));
            const QString after = shownValue(shared.settings.value(key));
            if (!before.isEmpty() || !after.isEmpty())
                difference.settingValues.insert(key, {before, after});
        }
    }
    // Same tiles in the same order, yet not equal: a tile's own options (a folder's view, a
    // stack's sorting) changed. Name the list it lives in, so a difference is never silent.
    if (difference.appsAdded.isEmpty() && difference.appsRemoved.isEmpty() && !sameContent(here.apps, shared.apps) &&
        !difference.orderChanged)
        difference.settingsChanged.append(QLatin1StringView(kApps));
    if (difference.othersAdded.isEmpty() && difference.othersRemoved.isEmpty() &&
        !sameContent(here.others, shared.others) && !difference.orderChanged)
        difference.settingsChanged.append(QLatin1StringView(kOthers));

    const auto exists = pathExists ? pathExists : [](const QString &path) { return QFileInfo::exists(path); };
    for (const DockTile &tile : shared.apps) {
        if (!tile.path.isEmpty() && !exists(tile.path))
            difference.appsNotInstalled.append(tile.label);
    }
    return difference;
}
