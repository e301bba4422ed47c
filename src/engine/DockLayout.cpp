#include "DockLayout.h"

#include "PlistGuard.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <plist/plist.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

struct PlistDeleter {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

const QLatin1StringView kApps{"persistent-apps"};
const QLatin1StringView kOthers{"persistent-others"};
const QLatin1StringView kTileData{"tile-data"};

// Every Dock file starts with the binary magic or XML; libplist picks by the magic itself. What
// it cannot read without stopping the process is refused first, as not a Dock: a damaged or planted
// copy in the shared folder must not crash us.
PlistPtr parsePlist(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max())
        return nullptr;
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    const bool binary = plist_is_binary(bytes.constData(), length);
    if (!PlistGuard::safeToParse(bytes, binary))
        return nullptr;
    if (binary)
        plist_from_bin(bytes.constData(), length, &root);
    else
        plist_from_xml(bytes.constData(), length, &root);
    return PlistPtr(root);
}

QString stringValue(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return {};
    uint64_t length = 0;
    const char *value = plist_get_string_ptr(node, &length);
    return value ? QString::fromUtf8(value, static_cast<qsizetype>(length)) : QString();
}

bool isVolatile(const char *key)
{
    return DockLayout::volatileKeys().contains(QString::fromUtf8(key));
}

// A byte string that is equal for equal values and differs otherwise: dictionaries by sorted key,
// so the order in which the Dock happened to write them does not matter.
void appendCanonical(QByteArray &out, plist_t node, bool dropVolatile)
{
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        QMap<QByteArray, plist_t> items;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!value) {
                free(key);
                break;
            }
            if (!dropVolatile || !isVolatile(key))
                items.insert(QByteArray(key), value);
            free(key);
        }
        free(iter);
        out += "{";
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
            out += QByteArray::number(it.key().size()) + ':' + it.key() + '=';
            appendCanonical(out, it.value(), dropVolatile && it.key() == QByteArrayView(kTileData.data()));
            out += ';';
        }
        out += "}";
        return;
    }
    case PLIST_ARRAY: {
        out += "[";
        const uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i) {
            appendCanonical(out, plist_array_get_item(node, i), false);
            out += ',';
        }
        out += "]";
        return;
    }
    case PLIST_STRING: {
        const QByteArray text = stringValue(node).toUtf8();
        out += "s" + QByteArray::number(text.size()) + ':' + text;
        return;
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        out += value ? "T" : "F";
        return;
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        out += "i" + QByteArray::number(static_cast<qulonglong>(value));
        return;
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        out += "r" + QByteArray::number(value, 'g', 17);
        return;
    }
    case PLIST_DATA: {
        char *data = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &data, &length);
        out += "d" + QByteArray(data, static_cast<qsizetype>(length)).toHex();
        free(data);
        return;
    }
    default: {
        // Dates and UIDs are rare in Dock files; their XML form compares them exactly.
        char *xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(node, &xml, &length);
        out += "x" + QByteArray(xml, static_cast<qsizetype>(length));
        free(xml);
        return;
    }
    }
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

QByteArray canonical(plist_t node, bool dropVolatile)
{
    QByteArray out;
    appendCanonical(out, node, dropVolatile);
    return out;
}

plist_t dictItem(plist_t node, const char *key)
{
    return node && plist_get_node_type(node) == PLIST_DICT ? plist_dict_get_item(node, key) : nullptr;
}

QString urlString(plist_t tileData)
{
    for (const char *name : {"file-data", "url"}) {
        const QString url = stringValue(dictItem(dictItem(tileData, name), "_CFURLString"));
        if (!url.isEmpty())
            return url;
    }
    return {};
}

DockTile readTile(plist_t tile)
{
    DockTile result;
    result.content = canonical(tile, true);
    plist_t data = dictItem(tile, "tile-data");
    if (data && plist_get_node_type(data) != PLIST_DICT)
        data = nullptr;
    const QString urlText = data ? urlString(data) : QString();
    const QUrl url(urlText);
    if (url.isLocalFile()) {
        result.path = url.toLocalFile();
        while (result.path.size() > 1 && result.path.endsWith(QLatin1Char('/')))
            result.path.chop(1);
    }
    result.label = stringValue(dictItem(data, "file-label"));
    if (result.label.isEmpty() && !urlText.isEmpty()) {
        QString path = url.path();
        while (path.endsWith(QLatin1Char('/')))
            path.chop(1);
        result.label = QFileInfo(path).fileName();
        if (result.label.isEmpty())
            result.label = urlText;
    }
    const QString type = stringValue(dictItem(tile, "tile-type"));
    result.identity = (!urlText.isEmpty() ? urlText : !result.label.isEmpty() ? result.label : type).toUtf8();
    if (result.label.isEmpty())
        result.label = type;
    return result;
}

QList<DockTile> readTiles(plist_t array)
{
    QList<DockTile> tiles;
    if (!array || plist_get_node_type(array) != PLIST_ARRAY)
        return tiles;
    const uint32_t size = plist_array_get_size(array);
    tiles.reserve(size);
    for (uint32_t i = 0; i < size; ++i)
        tiles.append(readTile(plist_array_get_item(array, i)));
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

} // namespace

const QStringList &DockLayout::volatileKeys()
{
    // Bookkeeping the Dock rewrites after every restart and now and then on its own: change
    // counters, analytics stamps, the locale it last ran in, the trash state, recently used apps,
    // and per tile the bookmark data and file dates it refreshes. None of it is the user's layout.
    static const QStringList keys{
        QStringLiteral("mod-count"),
        QStringLiteral("lastShowIndicatorTime"),
        QStringLiteral("last-analytics-stamp"),
        QStringLiteral("last-messagetrace-stamp"),
        QStringLiteral("loc"),
        QStringLiteral("region"),
        QStringLiteral("trash-full"),
        QStringLiteral("recent-apps"),
        QStringLiteral("GUID"),
        QStringLiteral("book"),
        QStringLiteral("file-mod-date"),
        QStringLiteral("parent-mod-date"),
    };
    return keys;
}

std::optional<DockLayout> DockLayout::parse(const QByteArray &bytes)
{
    const PlistPtr root = parsePlist(bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    plist_t apps = plist_dict_get_item(root.get(), kApps.data());
    if (apps && plist_get_node_type(apps) != PLIST_ARRAY)
        return std::nullopt;

    DockLayout layout;
    layout.apps = readTiles(apps);
    layout.others = readTiles(plist_dict_get_item(root.get(), kOthers.data()));
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(root.get(), &iter);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), iter, &key, &value);
        if (!value) {
            free(key);
            break;
        }
        const QString name = QString::fromUtf8(key);
        free(key);
        if (name != kApps && name != kOthers && !volatileKeys().contains(name))
            layout.settings.insert(name, canonical(value, false));
    }
    free(iter);
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
        difference.settingsChanged.append(kApps);
    if (difference.othersAdded.isEmpty() && difference.othersRemoved.isEmpty() &&
        !sameContent(here.others, shared.others) && !difference.orderChanged)
        difference.settingsChanged.append(kOthers);

    const auto exists = pathExists ? pathExists : [](const QString &path) { return QFileInfo::exists(path); };
    for (const DockTile &tile : shared.apps) {
        if (!tile.path.isEmpty() && !exists(tile.path))
            difference.appsNotInstalled.append(tile.label);
    }
    return difference;
}
