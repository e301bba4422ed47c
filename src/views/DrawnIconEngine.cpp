#include "DrawnIconEngine.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

void DrawnIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QRect target = rect;
    if (m_shape == Shape::Square) {
        const int side = std::min(rect.width(), rect.height());
        target = QRect(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
    }
    const QPixmap drawn = scaledPixmap(target.size() * ratio, mode, state, ratio);
    if (!drawn.isNull())
        painter->drawPixmap(target, drawn);
}

QPixmap DrawnIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap DrawnIconEngine::scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale)
{
    QSize pixels = size;
    if (m_shape == Shape::Square) {
        const int side = std::min(size.width(), size.height());
        pixels = QSize(side, side);
    }
    if (pixels.isEmpty() || scale <= 0)
        return {};
    QPixmap drawn = draw(pixels, scale, mode);
    drawn.setDevicePixelRatio(scale);
    return drawn;
}
