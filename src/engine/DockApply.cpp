#include "DockApply.h"

#include "DockLayout.h"
#include "DockPlist.h"

#include <QHash>
#include <QList>

using namespace DockPlist;

namespace {

// The rules DockLayout::parse reads a Dock by.
bool isDock(const Ptr &root)
{
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return false;
    plist_t apps = plist_dict_get_item(root.get(), kApps);
    return !apps || plist_get_node_type(apps) == PLIST_ARRAY;
}

// `to` takes `from`'s value of key, or none when `from` has none.
void takeKey(plist_t to, plist_t from, const QString &key)
{
    const QByteArray name = key.toUtf8();
    if (plist_dict_get_item(to, name.constData()))
        plist_dict_remove_item(to, name.constData());
    if (plist_t value = from ? plist_dict_get_item(from, name.constData()) : nullptr)
        plist_dict_set_item(to, name.constData(), plist_copy(value));
}

// Points every path in another account's home into this one; whether any was.
bool rewriteIntoOwnHome(plist_t node, const Homes &homes)
{
    bool rewritten = false;
    switch (plist_get_node_type(node)) {
    case PLIST_STRING:
        if (const auto path = intoOwnHome(string(node), homes)) {
            plist_set_string_val(node, path->toUtf8().constData());
            rewritten = true;
        }
        break;
    case PLIST_ARRAY:
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            rewritten = rewriteIntoOwnHome(plist_array_get_item(node, i), homes) || rewritten;
        break;
    case PLIST_DICT: {
        forEachItem(
            node, [&](QLatin1StringView, plist_t value) { rewritten = rewriteIntoOwnHome(value, homes) || rewritten; });
        break;
    }
    default:
        break;
    }
    return rewritten;
}

void makeTilesOwn(plist_t tiles, plist_t ownTiles, const Homes &homes)
{
    if (!tiles || plist_get_node_type(tiles) != PLIST_ARRAY)
        return;
    // This Mac's tiles by what they compare as, each to be taken once, in order.
    QHash<QByteArray, QList<plist_t>> own;
    if (ownTiles && plist_get_node_type(ownTiles) == PLIST_ARRAY) {
        for (uint32_t i = 0; i < plist_array_get_size(ownTiles); ++i) {
            plist_t tile = plist_array_get_item(ownTiles, i);
            own[tileKey(tile, homes).content].append(tile);
        }
    }
    for (uint32_t i = 0; i < plist_array_get_size(tiles); ++i) {
        plist_t tile = plist_array_get_item(tiles, i);
        QList<plist_t> &same = own[tileKey(tile, homes).content];
        if (!same.isEmpty()) {
            // Its bookmark and label are this Mac's, and its app where this Mac has it.
            plist_array_set_item(tiles, plist_copy(same.takeFirst()), i);
        } else if (rewriteIntoOwnHome(tile, homes)) {
            // The bookmark points at the other account's file.
            plist_dict_remove_item(tile, "book");
            if (plist_t data = tileData(tile); data && plist_dict_get_item(data, "book"))
                plist_dict_remove_item(data, "book");
        }
    }
}

} // namespace

namespace DockApply {

std::optional<QByteArray> forThisMac(const QByteArray &shared, const std::optional<QByteArray> &current,
                                     const QString &homeDirectory, bool sameLook)
{
    const Ptr result = parse(shared);
    if (!isDock(result))
        return std::nullopt;
    const Ptr here = current ? parse(*current) : nullptr;
    plist_t own = isDock(here) ? here.get() : nullptr;
    const Homes homes(homeDirectory);

    QStringList ownKeys = DockLayout::volatileKeys();
    if (!sameLook)
        ownKeys += DockLayout::lookKeys();
    for (const QString &key : ownKeys)
        takeKey(result.get(), own, key);
    for (const char *list : {kApps, kOthers})
        makeTilesOwn(plist_dict_get_item(result.get(), list), own ? plist_dict_get_item(own, list) : nullptr, homes);

    // The tiles are made this Mac's above; this Mac's own keys point where they should.
    forEachItem(result.get(), [&](QLatin1StringView name, plist_t value) {
        if (name != QLatin1StringView(kApps) && name != QLatin1StringView(kOthers) && !ownKeys.contains(name))
            rewriteIntoOwnHome(value, homes);
    });
    return toBinary(result.get());
}

std::optional<QByteArray> forSharing(const QByteArray &local, const std::optional<QByteArray> &shared)
{
    const Ptr result = parse(local);
    if (!isDock(result))
        return std::nullopt;
    const Ptr theirs = shared ? parse(*shared) : nullptr;
    if (!isDock(theirs))
        return local;
    for (const QString &key : DockLayout::lookKeys())
        takeKey(result.get(), theirs.get(), key);
    return toBinary(result.get());
}

} // namespace DockApply
