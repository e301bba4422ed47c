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
    QString label;       // "file-label", else the last path component of the URL
    QString path;        // the local path of a file URL; empty for spacers and web links
    QByteArray identity; // what the tile points at: its URL, else its label, else its type
    QByteArray content;  // everything that makes up the tile, volatile keys left out
};

// What the Dock holds, read from its preferences (binary or XML property list): the ordered
// apps, the ordered others and every other top-level setting. The Dock rewrites bookkeeping keys
// on its own (after every restart and now and then); those are left out, so two layouts are equal
// exactly when the user would see the same Dock.
class DockLayout {
public:
    // None when the bytes are not a Dock file: not a property list, its root not a dictionary, or
    // "persistent-apps" present but not an array.
    static std::optional<DockLayout> parse(const QByteArray &bytes);

    // The keys the Dock rewrites by itself. They are ignored at the top level, in each tile and in
    // each tile's "tile-data" alike.
    static const QStringList &volatileKeys();

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
