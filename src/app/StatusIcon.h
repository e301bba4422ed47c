#pragma once

#include <QColor>
#include <QIcon>

// The tray item's picture: the title "TR" in bold, in the colour of the sync state, on a
// transparent ground. Trays show icons, not text, so the title is drawn into one.
class StatusIcon {
public:
    static QIcon render(const QColor &color);
    static QImage image(int size, const QColor &color);
};
