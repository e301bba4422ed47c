#pragma once

#include <QColor>
#include <QIcon>

// The tray item's picture: the title "TR" in bold, in the colour of the sync state, on a
// transparent ground. Trays show icons, not text, so the title is drawn into one.
class StatusIcon {
public:
    // As a mask (a template image on macOS) the system draws it in the menu bar's own colour.
    static QIcon render(const QColor &color, bool mask = false);
    static QImage image(int size, const QColor &color);
};
