#pragma once

#include <QProxyStyle>

// Draws a menu row in its own colour when its action carries one (kTintProperty): QMenu has no
// per-item colour, and disabled rows would otherwise all be greyed the same.
class MenuRowStyle : public QProxyStyle {
    Q_OBJECT

public:
    static constexpr const char *kTintProperty = "tandrillTint";

    MenuRowStyle();

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
};
