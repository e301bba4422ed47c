#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The product logo, drawn from the app's own SVG artwork: the window header, the first-run
// wizard, the window icon and the installed desktop icon all show it.
class TandrillIcon {
public:
    static QString resourcePath();
    // Rendered sharp for the screen: size in device-independent pixels.
    static QPixmap pixmap(int size, qreal devicePixelRatio);
    static QIcon icon();
};
