#include "TestDock.h"

#include "DockPlist.h"

#include <QMap>
#include <QUrl>

using namespace Qt::StringLiterals;
using DockPlist::item;
using Node = DockPlist::Ptr;

namespace TestDock {
namespace {

// Settings and tile options the tests use: flags, numbers and text.
plist_t fromVariant(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return plist_new_bool(value.toBool());
    if (value.typeId() == QMetaType::Int)
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    return plist_new_string(value.toString().toUtf8().constData());
}

void setVolatileTileKeys(plist_t tile, plist_t tileData, int generation, int index)
{
    plist_dict_set_item(tile, "GUID", plist_new_uint(static_cast<uint64_t>(1'000'000 * generation + index)));
    if (!tileData)
        return;
    // Bookmark data is opaque to everyone but the system; its bytes change with every refresh.
    const QByteArray book =
        "book\0\0\0\0mark" + QByteArray::number(index) + QByteArray(400, char('a' + generation % 26));
    plist_dict_set_item(tileData, "book", plist_new_data(book.constData(), static_cast<uint64_t>(book.size())));
    plist_dict_set_item(tileData, "file-mod-date", plist_new_uint(static_cast<uint64_t>(3'700'000'000 + generation)));
    plist_dict_set_item(tileData, "parent-mod-date", plist_new_uint(static_cast<uint64_t>(3'600'000'000 + generation)));
}

void setVolatileTopKeys(plist_t root, int generation)
{
    plist_dict_set_item(root, "mod-count", plist_new_uint(static_cast<uint64_t>(generation)));
    plist_dict_set_item(root, "lastShowIndicatorTime", plist_new_real(780'000'000.5 + generation));
    plist_t stamps = plist_new_array();
    plist_array_append_item(stamps, plist_new_real(780'000'000.0 + generation));
    plist_dict_set_item(root, "last-analytics-stamp", stamps);
    plist_dict_set_item(root, "trash-full", plist_new_bool(generation % 2 == 1 ? 1 : 0));
    plist_dict_set_item(root, "loc", plist_new_string(generation % 2 ? "de_DE" : "en_US"));
    plist_dict_set_item(root, "region", plist_new_string(generation % 2 ? "DE" : "US"));
    plist_t recent = plist_new_array(); // the apps used lately
    plist_array_append_item(recent,
                            plist_new_string(QByteArray("Recent " + QByteArray::number(generation)).constData()));
    plist_dict_set_item(root, "recent-apps", recent);
}

plist_t tileNode(const Tile &tile, int generation, int index, const char *type)
{
    plist_t node = plist_new_dict();
    plist_t data = plist_new_dict();
    if (!tile.path.isEmpty()) {
        plist_t fileData = plist_new_dict();
        const QByteArray url = QUrl::fromLocalFile(tile.path + QLatin1Char('/')).toEncoded();
        plist_dict_set_item(fileData, "_CFURLString", plist_new_string(url.constData()));
        plist_dict_set_item(data, "file-data", fileData);
        plist_dict_set_item(data, "file-label", plist_new_string(tile.label.toUtf8().constData()));
    }
    for (auto it = tile.options.cbegin(); it != tile.options.cend(); ++it)
        plist_dict_set_item(data, it.key().toUtf8().constData(), fromVariant(it.value()));
    plist_dict_set_item(node, "tile-data", data);
    plist_dict_set_item(node, "tile-type", plist_new_string(tile.path.isEmpty() ? "spacer-tile" : type));
    setVolatileTileKeys(node, data, generation, index);
    return node;
}

QByteArray toXml(plist_t node)
{
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    const QByteArray text(xml, static_cast<qsizetype>(length));
    free(xml);
    return text;
}

QByteArray serialize(plist_t root, bool binary)
{
    return binary ? DockPlist::toBinary(root) : toXml(root);
}

// A few apps as each language names them; the rest carry one name everywhere.
QString appLabel(const QString &language, qsizetype index)
{
    static const QMap<QString, QStringList> names{{u"en"_s, {u"Notes"_s, u"Calendar"_s, u"Photos"_s, u"Music"_s}},
                                                  {u"de"_s, {u"Notizen"_s, u"Kalender"_s, u"Fotos"_s, u"Musik"_s}},
                                                  {u"es"_s, {u"Notas"_s, u"Calendario"_s, u"Fotos"_s, u"Música"_s}}};
    return index < 4 ? names.value(language).value(index) : QStringLiteral("App %1").arg(index + 1);
}

} // namespace

QByteArray build(const Shape &shape)
{
    Node root(plist_new_dict());
    int index = 0;
    for (const auto &[key, tiles, type] : {std::tuple{"persistent-apps", &shape.apps, "file-tile"},
                                           std::tuple{"persistent-others", &shape.others, "directory-tile"}}) {
        plist_t array = plist_new_array();
        for (const Tile &tile : *tiles)
            plist_array_append_item(array, tileNode(tile, shape.generation, ++index, type));
        plist_dict_set_item(root.get(), key, array);
    }
    plist_dict_set_item(root.get(), "version", plist_new_uint(1));
    for (auto it = shape.settings.cbegin(); it != shape.settings.cend(); ++it)
        plist_dict_set_item(root.get(), it.key().toUtf8().constData(), fromVariant(it.value()));
    setVolatileTopKeys(root.get(), shape.generation);
    return serialize(root.get(), shape.binary);
}

Shape withApps(const QStringList &labels)
{
    Shape shape;
    for (const QString &label : labels)
        shape.apps.append({label, QLatin1String("/Applications/") + label + QLatin1String(".app"), {}});
    return shape;
}

Shape realistic(const QString &language, const QString &account)
{
    QStringList paths;
    for (int i = 0; i < 40; ++i)
        paths.append(appLabel(u"en"_s, i));
    Shape shape = withApps(paths);
    for (int i = 0; i < shape.apps.size(); ++i) {
        shape.apps[i].label = appLabel(language, i);
        shape.apps[i].options.insert(u"bundle-identifier"_s, u"com.example.app%1"_s.arg(i));
    }
    const QString home = u"/Users/"_s + account;
    const auto view = [](int arrangement, int displayas, int showas) {
        return QVariantMap{{u"arrangement"_s, arrangement}, {u"displayas"_s, displayas}, {u"showas"_s, showas}};
    };
    shape.others = {{u"Downloads"_s, home + u"/Downloads"_s, view(2, 0, 1)},
                    {language == u"de"_s ? u"Dokumente"_s : u"Documents"_s, home + u"/Documents"_s, view(1, 1, 2)}};
    shape.settings = {
        {u"autohide"_s, false}, {u"tilesize"_s, 48}, {u"orientation"_s, u"bottom"_s}, {u"show-recents"_s, false}};
    return shape;
}

QByteArray marker(const QByteArray &name)
{
    Shape shape = withApps({QString::fromUtf8(name)});
    shape.settings.insert(QStringLiteral("tandrill-test-marker"), QString::fromUtf8(name.toBase64()));
    shape.binary = false;
    return build(shape);
}

std::optional<QByteArray> markerOf(const QByteArray &bytes)
{
    // A pull writes the Dock binary, as the Dock does.
    if (!bytes.startsWith("<?xml") && !bytes.startsWith("bplist"))
        return std::nullopt;
    const Node root = DockPlist::parse(bytes);
    const QString name = DockPlist::string(item(root.get(), "tandrill-test-marker"));
    return name.isEmpty() ? std::nullopt : std::optional(QByteArray::fromBase64(name.toLatin1()));
}

QByteArray plant(const QByteArray &bytes, DockLayout::LeftOut::Where where, QLatin1StringView key, const QString &value)
{
    const Node root = DockPlist::parse(bytes);
    plist_t tile = plist_array_get_item(item(root.get(), DockPlist::kApps), 0);
    plist_t node = where == DockLayout::LeftOut::Where::TopLevel ? root.get()
                   : where == DockLayout::LeftOut::Where::Tile   ? tile
                                                                 : DockPlist::tileData(tile);
    plist_dict_set_item(node, QByteArray(key.data(), key.size()).constData(),
                        plist_new_string(value.toUtf8().constData()));
    return serialize(root.get(), !bytes.startsWith("<?xml"));
}

QByteArray topLevelValue(const QByteArray &bytes, const QString &key)
{
    const Node root = DockPlist::parse(bytes);
    plist_t value = item(root.get(), key.toUtf8().constData());
    return value ? toXml(value) : QByteArray();
}

QByteArray rewriteVolatile(const QByteArray &bytes, int generation, const QString &language)
{
    const Node root = DockPlist::parse(bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return bytes;
    setVolatileTopKeys(root.get(), generation);
    int index = 0;
    for (const char *key : {DockPlist::kApps, DockPlist::kOthers}) {
        plist_t tiles = item(root.get(), key);
        if (!tiles || plist_get_node_type(tiles) != PLIST_ARRAY)
            continue;
        for (uint32_t i = 0; i < plist_array_get_size(tiles); ++i) {
            plist_t tile = plist_array_get_item(tiles, i);
            if (plist_get_node_type(tile) != PLIST_DICT)
                continue;
            plist_t data = DockPlist::tileData(tile);
            setVolatileTileKeys(tile, data, generation, ++index);
            const QString bundle = DockPlist::string(item(data, "bundle-identifier"));
            if (!language.isEmpty() && bundle.startsWith(u"com.example.app"_s)) {
                const QString label = appLabel(language, bundle.mid(15).toLongLong());
                plist_dict_set_item(data, "file-label", plist_new_string(label.toUtf8().constData()));
            }
        }
    }
    return serialize(root.get(), !bytes.startsWith("<?xml"));
}

} // namespace TestDock
