#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

// One tile of the Dock: an app, a folder, a stack or a spacer.
struct DockTile {
    QString label;       // "file-label", else the last path component of the URL; a folder in a home by its name
    QString path;        // the local path of a file URL on this Mac; empty for spacers and web links
    QByteArray identity; // what the tile points at: its bundle identifier, else its URL, else its label or type
    QByteArray content;  // the tile as compared: what leftOut() names taken out, paths in a home relative to it
};

// What the Dock holds, read from its preferences (binary or XML property list): the ordered
// apps, the ordered others and every other top-level setting, in a canonical form: two layouts
// are equal exactly when the user would see the same Dock, whichever Mac, language and account
// name it was written by.
class DockLayout {
public:
    // None when the bytes are not a Dock file: not a property list, its root not a dictionary, or
    // "persistent-apps" present but not an array. Paths under homeDirectory (this Mac's home) and
    // under any /Users/<name> are compared relative to their home.
    static std::optional<DockLayout> parse(const QByteArray &bytes, const QString &homeDirectory = {});

    // What the canonical form leaves out, each with its reason. Bookkeeping is what the Dock
    // rewrites by itself: it is ignored at the top level, in each tile and in each tile's
    // "tile-data" alike, and a pull keeps this Mac's own. The other entries are left out where
    // `where` says, when the tile holds what `unless` names.
    struct LeftOut {
        enum class Where { TopLevel, Tile, TileData };
        enum class Unless { Nothing, PointsAtSomething, HasBundleIdentifier };
        QLatin1StringView key;
        Where where;
        bool bookkeeping;
        Unless unless;
        const char *reason;
    };
    static const QList<LeftOut> &leftOut();
    // The bookkeeping keys of leftOut().
    static const QStringList &volatileKeys();

    // How the Dock looks rather than what it holds. A Mac that keeps its own look neither compares
    // these with the shared Dock nor takes them from it, nor shares its own.
    static const QStringList &lookKeys();
    // A copy without the look keys.
    DockLayout withoutLook() const;

    QList<DockTile> apps;
    QList<DockTile> others;
    QMap<QString, QByteArray> settings; // every other top-level key, by its canonical value

    bool operator==(const DockLayout &other) const;

    // The layout's identity: a versioned digest of exactly what decides equality, so two layouts
    // have one identity when they are equal ("1:" + hex SHA-256). Another canonical form is
    // another version: a Mac that meets an identity of a version it does not know ignores it.
    QByteArray identity() const;
    static constexpr QLatin1StringView kIdentityVersion{"1"};
    static bool isKnownIdentity(QByteArrayView identity);
};

// What a pull would change on this Mac, and who shared the Dock it would bring.
struct DockDifference {
    enum class Result { Same, Different, NothingShared, Unavailable };

    Result result = Result::NothingShared;
    QStringList appsAdded; // in the shared Dock and not here, in Dock order
    QStringList appsRemoved;
    QStringList othersAdded;
    QStringList othersRemoved;
    bool orderChanged = false;
    QStringList settingsChanged; // top-level keys whose values differ
    // For the keys of settingsChanged with a plain value (number, text, yes/no): the value here and
    // the shared one as shown ("41", "56"); empty where a side has none.
    QMap<QString, std::pair<QString, QString>> settingValues;
    QStringList appsNotInstalled; // shared apps whose application is missing on this Mac
    QStringList lookKeptLocal;    // look keys that differ, and stay as they are on this Mac
    QString pushedBy;             // from the meta file; empty when unknown
    QDateTime pushedAt;
    QString problem; // for Unavailable: which file could not be used, and why (German)

    bool isEmpty() const { return result != Result::Different; }
    bool operator==(const DockDifference &) const = default;

    // The difference from here to shared. pathExists decides appsNotInstalled (the file system
    // when empty).
    static DockDifference between(const DockLayout &here, const DockLayout &shared,
                                  const std::function<bool(const QString &)> &pathExists = {});
};

Q_DECLARE_METATYPE(DockDifference)
