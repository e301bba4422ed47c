#include "RoundedPanel.h"

#include "ViewStyle.h"

#include <QPainter>
#include <QPainterPath>

RoundedPanel::RoundedPanel(QWidget *parent) : QWidget(parent) {}

RoundedPanel *RoundedPanel::groupBox(QWidget *parent)
{
    auto *panel = new RoundedPanel(parent);
    panel->m_groupBoxFill = true;
    panel->setRadius(8);
    return panel;
}

void RoundedPanel::setFill(const QColor &color)
{
    m_groupBoxFill = false;
    m_fill = color;
    update();
}

void RoundedPanel::setStroke(const QColor &color, qreal width)
{
    m_stroke = color;
    m_strokeWidth = width;
    update();
}

void RoundedPanel::setRadius(qreal radius)
{
    m_radius = radius;
    update();
}

QColor RoundedPanel::fill() const
{
    return m_groupBoxFill ? ViewStyle::groupBoxFill(this) : m_fill;
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = m_strokeWidth / 2.0;
    const QRectF box = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QPainterPath path;
    path.addRoundedRect(box, m_radius, m_radius);
    painter.fillPath(path, fill());
    if (m_strokeWidth > 0.0 && m_stroke.alpha() > 0) {
        painter.setPen(QPen(m_stroke, m_strokeWidth));
        painter.drawPath(path);
    }
}
