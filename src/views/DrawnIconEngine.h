#pragma once

#include <QIconEngine>

// An icon drawn when it is asked for, at the size asked for. Qt asks in three ways (paint into a
// rectangle; a pixmap of a size; a pixmap of a size in device pixels for a scale) and all three
// come down to one drawing in device pixels, made by the subclass.
class DrawnIconEngine : public QIconEngine {
public:
    enum class Shape {
        Square, // drawn as the largest square that fits, centred
        Fill,   // drawn to the full size asked for
    };

    explicit DrawnIconEngine(Shape shape) : m_shape(shape) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    // `size` is in device pixels, as QIcon asks: the logical size times `scale`.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override;

protected:
    // The picture `pixels` device pixels large, for `scale` device pixels per logical pixel.
    virtual QPixmap draw(QSize pixels, qreal scale, QIcon::Mode mode) = 0;

private:
    Shape m_shape;
};
