#include "TandrillIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace {

QPixmap render(int pixels)
{
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(TandrillIcon::resourcePath());
    QPainter painter(&pixmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    painter.end();
    return pixmap;
}

// The logo at whatever size a window system asks for, drawn when it asks and not kept: many never
// ask (macOS takes the bundle's icon), others ask once, and the larger sizes are costly to draw
// and to hold.
class LogoEngine : public QIconEngine {
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        const QPixmap logo = scaledPixmap(QSize(side, side), mode, state, ratio);
        painter->drawPixmap(
            QRect(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side), logo);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode, QIcon::State, qreal scale) override
    {
        const int side = std::min(size.width(), size.height());
        return side > 0 ? TandrillIcon::pixmap(static_cast<int>(std::lround(side / scale)), scale) : QPixmap();
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : {16, 24, 32, 48, 64, 128, 256})
            sizes.append(QSize(side, side));
        return sizes;
    }

    QIconEngine *clone() const override { return new LogoEngine; }
    QString key() const override { return QStringLiteral("TandrillLogoEngine"); }
};

} // namespace

QString TandrillIcon::resourcePath()
{
    return QStringLiteral(":/tandrill/TandrillIcon.svg");
}

QPixmap TandrillIcon::pixmap(int size, qreal devicePixelRatio)
{
    QPixmap pixmap = render(static_cast<int>(std::lround(size * devicePixelRatio)));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon TandrillIcon::icon()
{
    return QIcon(new LogoEngine);
}
