#include "TandrillIcon.h"

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

QString TandrillIcon::resourcePath()
{
    return QStringLiteral(":/tandrill/TandrillIcon.svg");
}

QPixmap TandrillIcon::pixmap(int size, qreal devicePixelRatio)
{
    const int pixels = static_cast<int>(std::lround(size * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resourcePath());
    QPainter painter(&pixmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon TandrillIcon::icon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(pixmap(size, 1.0));
    return icon;
}
