#pragma once

#include "DockLayout.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

// Real Dock preferences for tests, built with libplist the way the Dock writes them: tiles with
// bookmark data, file dates and GUIDs, and the bookkeeping keys the Dock keeps rewriting.
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

// A Dock of about 30 KB, as a well-used Dock is: apps with bundle identifiers and labels in the
// language given ("en", "de", "es"), folders in the home of the account given.
Shape realistic(const QString &language = QStringLiteral("en"), const QString &account = QStringLiteral("me"));

// A tiny valid Dock that stands for a name: tests that only follow which Dock went where.
QByteArray marker(const QByteArray &name);
std::optional<QByteArray> markerOf(const QByteArray &bytes);

// The Dock with one key set to `value`: at the top level, in the first app's tile or in its
// "tile-data" (DockLayout::LeftOut::Where).
QByteArray plant(const QByteArray &bytes, DockLayout::LeftOut::Where where, QLatin1StringView key,
                 const QString &value);

// The value of a top-level key, as XML; empty when there is none.
QByteArray topLevelValue(const QByteArray &bytes, const QString &key);

// The same Dock with its volatile keys rewritten, as the Dock does after a restart, and the apps
// of realistic() labelled in the language given; the format (binary or XML) is kept.
QByteArray rewriteVolatile(const QByteArray &bytes, int generation, const QString &language = {});

} // namespace TestDock
