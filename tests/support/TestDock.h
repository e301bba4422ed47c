#pragma once

#include "DockLayout.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

// Real Dock preferences for tests, built with libplist as the Dock writes them, bookkeeping included.
namespace TestDock {

struct Tile {
    QString label;
    QString path;        // becomes the tile's file URL; empty for a spacer
    QVariantMap options; // extra "tile-data" keys (a folder's view, a stack's sorting, "bundle-identifier")
};

struct Shape {
    QList<Tile> apps;
    QList<Tile> others;
    QVariantMap settings; // other top-level keys (autohide, tilesize, orientation, …)
    int generation = 1;   // seeds the volatile keys: two generations differ only there
    bool binary = true;
};

QByteArray build(const Shape &shape);

// Apps by label, each in /Applications.
Shape withApps(const QStringList &labels);

// A well-used Dock of about 30 KB: labels in the language given ("en", "de", "es"), folders in the account's home.
Shape realistic(const QString &language = QStringLiteral("en"), const QString &account = QStringLiteral("me"));

// A tiny valid Dock that stands for a name: tests that only follow which Dock went where.
QByteArray marker(const QByteArray &name);
std::optional<QByteArray> markerOf(const QByteArray &bytes);

// The Dock with one key set, at the top level, in the first app's tile or in its "tile-data".
QByteArray plant(const QByteArray &bytes, DockLayout::LeftOut::Where where, QLatin1StringView key,
                 const QString &value);

// The value of a top-level key, as XML; empty when there is none.
QByteArray topLevelValue(const QByteArray &bytes, const QString &key);

// The Dock as the Dock rewrites it after a restart: new volatile keys, labels in the language given.
QByteArray rewriteVolatile(const QByteArray &bytes, int generation, const QString &language = {});

} // namespace TestDock
