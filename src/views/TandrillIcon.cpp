#include "TandrillIcon.h"

#include "DrawnIconEngine.h"

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
class LogoEngine : public DrawnIconEngine {
public:
    LogoEngine() : DrawnIconEngine(Shape::Square) {}

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : {16, 24, 32, 48, 64, 128, 256})
            sizes.append(QSize(side, side));
        return sizes;
    }

    QIconEngine *clone() const override { return new LogoEngine; }
    QString key() const override { return QStringLiteral("TandrillLogoEngine"); }

protected:
    QPixmap draw(QSize pixels, qreal, QIcon::Mode) override { return render(pixels.width()); }
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
