#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>

// The symbols the views name (SF Symbols style: "arrow.up.circle.fill", "wifi", …) drawn with
// icons of KDE's Breeze icon theme (LGPL-3.0-or-later), the few used compiled in as resources, so
// that no installed icon theme is needed. Every symbol-to-icon choice is made here and nowhere else.
// Each symbol is rendered once per size, colour and scale and then shared.
namespace SymbolIcons {

// The SVG resource for a symbol; empty when the symbol is unknown.
QString iconFile(const QString &symbol);

// Every symbol this file can draw.
QStringList symbols();

// The symbol drawn into a square of `size` logical pixels, in `color` (its alpha included).
// Icons that carry their own meaning in colour (the warning triangle, the green tick) keep their
// colours and take only the alpha. A null image when the icon is unavailable.
QImage image(const QString &symbol, int size, const QColor &color, qreal devicePixelRatio);

// The same as an icon for buttons, sharp at every size; dimmed when the button is disabled.
QIcon icon(const QString &symbol, const QColor &color);

} // namespace SymbolIcons
