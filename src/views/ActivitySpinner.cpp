#include "ActivitySpinner.h"

#include "ViewStyle.h"

#include <QPainter>

namespace {
constexpr int kSpokes = 12;
}

ActivitySpinner::ActivitySpinner(int diameter, QWidget *parent) : QWidget(parent), m_diameter(diameter)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_timer.setInterval(1000 / kSpokes);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void ActivitySpinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void ActivitySpinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

void ActivitySpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    const QColor base = ViewStyle::primaryText(this);
    QPen pen(base, std::max(1.0, side / 10.0), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        const int age = (m_step - i + kSpokes) % kSpokes;
        pen.setColor(ViewStyle::withOpacity(base, 0.15 + 0.7 * (1.0 - static_cast<qreal>(age) / kSpokes)));
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -side * 0.25), QPointF(0, -side * 0.45));
        painter.rotate(360.0 / kSpokes);
    }
}
