#pragma once

#include <QProxyStyle>

// The platform's own style (the one Qt would choose, or the one given with -style), changed in one
// place: the arrow on the menu bar's overflow button. Qt reads that arrow from an image file whose
// format it finds by loading every image-format plugin and asking each; the window's menu bar would
// load them all, with their image libraries, for an arrow that a bar of one menu never shows, and
// the app reads no image through a plugin otherwise. The arrow is drawn here instead.
class AppStyle : public QProxyStyle {
    Q_OBJECT

public:
    AppStyle();

    QIcon standardIcon(StandardPixmap which, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
