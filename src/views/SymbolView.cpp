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

void SymbolView::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (m_cache.isNull() || !qFuzzyCompare(m_cache.devicePixelRatio(), ratio))
        m_cache = SymbolIcons::image(m_symbol, m_size, m_color, ratio);
    if (m_cache.isNull())
        return;
    QPainter painter(this);
    const QRect target((width() - m_size) / 2, (height() - m_size) / 2, m_size, m_size);
    painter.drawImage(target, m_cache);
}
