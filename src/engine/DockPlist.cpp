#include "DockPlist.h"

#include "DockLayout.h"
#include "PlistGuard.h"

#include <QDir>
#include <QMap>
#include <QUrl>

#include <limits>

namespace DockPlist {
namespace {

using LeftOut = DockLayout::LeftOut;

// Where a dictionary lies in the Dock file, which decides what of it is left out.
enum class Level { Value, Root, Tile, TileData };

struct TileFacts {
    bool pointsAtSomething = false; // a URL or a bundle identifier
    bool hasBundleIdentifier = false;
};

bool leftOutAt(QLatin1StringView key, Level level, const TileFacts &facts)
{
    if (level == Level::Value)
        return false;
    for (const LeftOut &entry : DockLayout::leftOut()) {
        if (entry.key != key)
            continue;
        if (entry.bookkeeping)
            return true;
        const bool place = (entry.where == LeftOut::Where::TopLevel && level == Level::Root) ||
                           (entry.where == LeftOut::Where::Tile && level == Level::Tile) ||
                           (entry.where == LeftOut::Where::TileData && level == Level::TileData);
        const bool applies = entry.unless == LeftOut::Unless::Nothing ||
                             (entry.unless == LeftOut::Unless::PointsAtSomething && facts.pointsAtSomething) ||
                             (entry.unless == LeftOut::Unless::HasBundleIdentifier && facts.hasBundleIdentifier);
        if (place && applies)
            return true;
    }
    return false;
}

void appendCanonical(QByteArray &out, plist_t node, const Homes &homes, Level level, const TileFacts &facts)
{
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        // Sorted by key: the order in which the Dock happened to write them does not matter.
        QMap<QByteArray, plist_t> items;
        forEachItem(node, [&](QLatin1StringView key, plist_t value) {
            if (!leftOutAt(key, level, facts))
                items.insert(QByteArray(key.data(), key.size()), value);
        });
        out += "{";
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
            out += QByteArray::number(it.key().size()) + ':' + it.key() + '=';
            const bool data = level == Level::Tile && it.key() == QByteArrayView(kTileData);
            appendCanonical(out, it.value(), homes, data ? Level::TileData : Level::Value, facts);
            out += ';';
        }
        out += "}";
        return;
    }
    case PLIST_ARRAY: {
        out += "[";
        const uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i) {
            appendCanonical(out, plist_array_get_item(node, i), homes, Level::Value, facts);
            out += ',';
        }
        out += "]";
        return;
    }
    case PLIST_STRING: {
        const QByteArray text = canonicalText(string(node), homes).toUtf8();
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

struct PathText {
    QString path; // decoded and cleaned: no trailing slash, no "." or ".."
    bool url = false;
    bool trailingSlash = false;
};

std::optional<PathText> pathOf(const QString &text)
{
    if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(text);
        const QString host = url.host();
        if (!url.isValid() || !url.isLocalFile() || !(host.isEmpty() || host == QLatin1String("localhost")))
            return std::nullopt;
        const QString path = url.path(QUrl::FullyDecoded);
        if (!path.startsWith(QLatin1Char('/')))
            return std::nullopt;
        return PathText{QDir::cleanPath(path), true, path.size() > 1 && path.endsWith(QLatin1Char('/'))};
    }
    if (text.startsWith(QLatin1Char('/')))
        return PathText{QDir::cleanPath(text), false, text.size() > 1 && text.endsWith(QLatin1Char('/'))};
    return std::nullopt;
}

} // namespace

Ptr parse(const QByteArray &bytes)
{
    // Every Dock file starts with the binary magic or XML; libplist picks by the magic itself. What
    // it cannot read without stopping the process is refused first, as not a Dock: a damaged or
    // planted copy in the shared folder must not crash us.
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
    return Ptr(root);
}

QByteArray toBinary(plist_t root)
{
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    QByteArray result(bytes, static_cast<qsizetype>(length));
    free(bytes);
    return result;
}

QString string(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return {};
    uint64_t length = 0;
    const char *value = plist_get_string_ptr(node, &length);
    return value ? QString::fromUtf8(value, static_cast<qsizetype>(length)) : QString();
}

plist_t item(plist_t dict, const char *key)
{
    return dict && plist_get_node_type(dict) == PLIST_DICT ? plist_dict_get_item(dict, key) : nullptr;
}

plist_t tileData(plist_t tile)
{
    plist_t data = item(tile, kTileData);
    return data && plist_get_node_type(data) == PLIST_DICT ? data : nullptr;
}

Homes::Homes(const QString &homeDirectory)
{
    if (!homeDirectory.isEmpty() && QDir::cleanPath(homeDirectory) != QLatin1String("/"))
        m_own = QDir::cleanPath(homeDirectory);
}

std::optional<Homes::Split> Homes::split(const QString &path) const
{
    if (!m_own.isEmpty() && path.startsWith(m_own) &&
        (path.size() == m_own.size() || path[m_own.size()] == QLatin1Char('/')))
        return Split{m_own, path.mid(m_own.size())};
    const QLatin1StringView users("/Users/");
    if (!path.startsWith(users))
        return std::nullopt;
    qsizetype end = path.indexOf(QLatin1Char('/'), users.size());
    if (end < 0)
        end = path.size();
    const QStringView name = QStringView(path).sliced(users.size(), end - users.size());
    if (name.isEmpty() || name == QLatin1String("Shared"))
        return std::nullopt;
    return Split{path.left(end), path.mid(end)};
}

QString canonicalText(const QString &text, const Homes &homes)
{
    const auto parsed = pathOf(text);
    if (!parsed)
        return text;
    QString path = parsed->path;
    if (const auto split = homes.split(path))
        path = QLatin1Char('~') + split->rest;
    return parsed->url ? QLatin1String("file://") + path : path;
}

std::optional<QString> intoOwnHome(const QString &text, const Homes &homes)
{
    const auto parsed = homes.own().isEmpty() ? std::nullopt : pathOf(text);
    const auto split = parsed ? homes.split(parsed->path) : std::nullopt;
    if (!split || split->home == homes.own())
        return std::nullopt;
    QString path = homes.own() + split->rest;
    if (parsed->trailingSlash)
        path += QLatin1Char('/');
    return parsed->url ? QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()) : path;
}

QString localPath(const QString &text, const Homes &homes)
{
    const auto parsed = pathOf(text);
    if (!parsed)
        return {};
    const auto split = homes.own().isEmpty() ? std::nullopt : homes.split(parsed->path);
    return split ? homes.own() + split->rest : parsed->path;
}

bool leftOutOfSettings(QLatin1StringView key)
{
    return leftOutAt(key, Level::Root, {});
}

QByteArray canonical(plist_t node, const Homes &homes)
{
    QByteArray out;
    appendCanonical(out, node, homes, Level::Value, {});
    return out;
}

TileKey tileKey(plist_t tile, const Homes &homes)
{
    TileKey key;
    plist_t data = tileData(tile);
    for (const char *name : {"file-data", "url"}) {
        key.url = string(item(item(data, name), "_CFURLString"));
        if (!key.url.isEmpty())
            break;
    }
    key.label = string(item(data, "file-label"));
    const QString bundle = string(item(data, "bundle-identifier"));
    const TileFacts facts{!key.url.isEmpty() || !bundle.isEmpty(), !bundle.isEmpty()};
    appendCanonical(key.content, tile, homes, Level::Tile, facts);
    if (!bundle.isEmpty())
        key.identity = "app:" + bundle.toUtf8();
    else if (!key.url.isEmpty())
        key.identity = "url:" + canonicalText(key.url, homes).toUtf8();
    else if (!key.label.isEmpty())
        key.identity = "label:" + key.label.toUtf8();
    else
        key.identity = "type:" + string(item(tile, "tile-type")).toUtf8();
    return key;
}

} // namespace DockPlist
