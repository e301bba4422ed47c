#include "StatusIcon.h"

#include <QFont>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace {

// The title drawn at the size a tray asks for, when it asks: trays take one or two of the sizes
// offered, and every size drawn ahead would cost a font of its own.
class StatusIconEngine : public QIconEngine {
public:
    explicit StatusIconEngine(QColor color) : m_color(std::move(color)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        painter->drawPixmap(
            QRect(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side),
            scaledPixmap(QSize(side, side), mode, state, ratio));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode, QIcon::State, qreal scale) override
    {
        const int side = static_cast<int>(std::lround(std::min(size.width(), size.height()) * scale));
        if (side <= 0)
            return {};
        QPixmap pixmap = QPixmap::fromImage(StatusIcon::image(side, m_color));
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : {16, 22, 24, 32, 48, 64})
            sizes.append(QSize(side, side));
        return sizes;
    }

    QIconEngine *clone() const override { return new StatusIconEngine(m_color); }
    QString key() const override { return QStringLiteral("TandrillStatusIconEngine"); }

private:
    QColor m_color;
};

} // namespace

QImage StatusIcon::image(int size, const QColor &color)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QFont font;
    font.setBold(true);
    // Two capitals fill the square's width, as the 12-point title fills the macOS menu bar.
    font.setPixelSize(std::max(6, size * 58 / 100));
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("TR"));
    return image;
}

QIcon StatusIcon::render(const QColor &color)
{
    return QIcon(new StatusIconEngine(color));
}
