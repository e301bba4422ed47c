#include "SymbolView.h"

#include "SymbolIcons.h"

#include <QPainter>

SymbolView::SymbolView(const QString &symbol, int size, const QColor &color, QWidget *parent)
    : QWidget(parent), m_symbol(symbol), m_size(size), m_frameWidth(size), m_color(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolView::setSymbol(const QString &symbol)
{
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    m_cache = QImage();
    update();
}

void SymbolView::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    m_cache = QImage();
    update();
}

void SymbolView::setFrameWidth(int width)
{
    m_frameWidth = std::max(width, m_size);
    updateGeometry();
}

QSize SymbolView::sizeHint() const
{
    return QSize(m_frameWidth, m_size);
}

namespace {
// A status mark: a disc in the colour with a white tick or cross, drawn here because the icon
// theme's emblems read as a ticked check box, which looks like something to click.
bool paintStatusMark(QPainter &painter, const QString &symbol, const QRectF &box, const QColor &color)
{
    const bool tick = symbol == QLatin1String("checkmark.circle.fill");
    if (!tick && symbol != QLatin1String("xmark.circle.fill"))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(box);
    QPen pen(Qt::white, std::max(1.2, box.width() / 8.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const auto at = [&box](qreal x, qreal y) {
        return QPointF(box.left() + x * box.width(), box.top() + y * box.height());
    };
    if (tick) {
        const QPointF points[] = {at(0.28, 0.52), at(0.44, 0.67), at(0.72, 0.36)};
        painter.drawPolyline(points, 3);
    } else {
        painter.drawLine(at(0.34, 0.34), at(0.66, 0.66));
        painter.drawLine(at(0.66, 0.34), at(0.34, 0.66));
    }
    return true;
}
} // namespace

void SymbolView::paintEvent(QPaintEvent *)
{
    {
        QPainter painter(this);
        const QRectF box((width() - m_size) / 2.0, (height() - m_size) / 2.0, m_size, m_size);
        if (paintStatusMark(painter, m_symbol, box, m_color))
            return;
    }
    const qreal ratio = devicePixelRatioF();
    if (m_cache.isNull() || !qFuzzyCompare(m_cache.devicePixelRatio(), ratio))
        m_cache = SymbolIcons::image(m_symbol, m_size, m_color, ratio);
    if (m_cache.isNull())
        return;
    QPainter painter(this);
    const QRect target((width() - m_size) / 2, (height() - m_size) / 2, m_size, m_size);
    painter.drawImage(target, m_cache);
}
