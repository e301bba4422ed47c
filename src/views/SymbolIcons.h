#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>

// The symbols the views name (SF Symbols style: "arrow.up.circle.fill", "wifi", …) drawn with
// icons of KDE's Breeze icon theme, which scripts/deps.sh installs (breeze-icon-theme, LGPL-3.0+).
// Every symbol-to-icon choice is made here and nowhere else.
namespace SymbolIcons {

// The installed SVG for a symbol; empty when the symbol is unknown or the theme is missing.
QString iconFile(const QString &symbol);

// The symbol drawn into a square of `size` logical pixels, in `color` (its alpha included).
// Icons that carry their own meaning in colour (the warning triangle, the green tick) keep their
// colours and take only the alpha. A null image when the icon is unavailable.
QImage image(const QString &symbol, int size, const QColor &color, qreal devicePixelRatio);

// The same as an icon for buttons, sharp at every size; dimmed when the button is disabled.
QIcon icon(const QString &symbol, const QColor &color);

} // namespace SymbolIcons
