#pragma once

#include <QByteArray>
#include <QString>

#include <plist/plist.h>

#include <cstdlib>
#include <memory>
#include <optional>

// The property-list work that reading a Dock (DockLayout) and building one to apply (DockApply)
// share: parsing and writing, and the canonical form of a value. Inside the engine only.
namespace DockPlist {

struct Deleter {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using Ptr = std::unique_ptr<void, Deleter>;

inline constexpr char kApps[] = "persistent-apps";
inline constexpr char kOthers[] = "persistent-others";
inline constexpr char kTileData[] = "tile-data";

// None for what is not a property list, or what libplist cannot read without stopping the process.
Ptr parse(const QByteArray &bytes);
// As the Dock writes its file.
QByteArray toBinary(plist_t root);

QString string(plist_t node);                // empty unless a string
plist_t item(plist_t dict, const char *key); // null unless dict is a dictionary holding key
plist_t tileData(plist_t tile);              // the tile's "tile-data" dictionary, or null

// Calls visit(key, value) for every item of a dictionary, in the order stored.
template <typename Visit> void forEachItem(plist_t dict, Visit &&visit)
{
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, iter, &key, &value);
        if (value)
            visit(QLatin1StringView(key), value);
        free(key);
        if (!value)
            break;
    }
    free(iter);
}

// Account homes: /Users/<name> on every Mac (not /Users/Shared, which belongs to no account), and
// this Mac's own home wherever it lies. A path under a home is the same place for every account:
// "~/Downloads" is each one's own Downloads.
class Homes {
public:
    explicit Homes(const QString &homeDirectory);
    const QString &own() const { return m_own; } // empty when unknown

    struct Split {
        QString home; // "/Users/anna"
        QString rest; // "" or "/Downloads"
    };
    std::optional<Split> split(const QString &path) const;

private:
    QString m_own;
};

// A string as it is compared: a file URL or an absolute path with its percent-encoding decoded and
// no trailing slash, "~" in place of a home; any other text as it is.
QString canonicalText(const QString &text, const Homes &homes);
// The same string pointing into this Mac's home, written as before (URL or path, trailing slash);
// none when it points into no other account's home.
std::optional<QString> intoOwnHome(const QString &text, const Homes &homes);
// The local path a file URL or path stands for on this Mac; empty for anything else.
QString localPath(const QString &text, const Homes &homes);

// A byte string that is equal for equal values and differs otherwise: dictionaries by sorted key,
// strings as canonicalText.
QByteArray canonical(plist_t node, const Homes &homes);

// Whether a top-level key is left out of the comparison (DockLayout::leftOut()).
bool leftOutOfSettings(QLatin1StringView key);

// What a tile points at and how it compares.
struct TileKey {
    QByteArray identity; // its bundle identifier, else its canonical URL, else its label, else its type
    QByteArray content;  // the tile as compared: what DockLayout::leftOut() names taken out
    QString url;         // as written, empty for spacers
    QString label;       // "file-label", empty when none
};
TileKey tileKey(plist_t tile, const Homes &homes);

} // namespace DockPlist
