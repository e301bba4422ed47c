#include "ToggleSwitch.h"

#include "ViewStyle.h"

#include <QPainter>

ToggleSwitch::ToggleSwitch(QWidget *parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_knob.setDuration(120);
    connect(&m_knob, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_position = value.toDouble();
        update();
    });
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        m_knob.stop();
        if (!isVisible()) {
            m_position = on ? 1.0 : 0.0;
            update();
            return;
        }
        m_knob.setStartValue(m_position);
        m_knob.setEndValue(on ? 1.0 : 0.0);
        m_knob.start();
    });
}

QSize ToggleSwitch::sizeHint() const
{
    return QSize(34, 20);
}

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal position = m_position;
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = track.height() / 2.0;
    const QColor off = ViewStyle::withOpacity(ViewStyle::primaryText(this), 0.12);
    const QColor on = ViewStyle::blue();
    const auto mix = [position](float from, float to) { return from + (to - from) * static_cast<float>(position); };
    QColor trackColor = QColor::fromRgbF(mix(off.redF(), on.redF()), mix(off.greenF(), on.greenF()),
                                         mix(off.blueF(), on.blueF()), mix(off.alphaF(), on.alphaF()));
    if (!isEnabled())
        trackColor = ViewStyle::withOpacity(trackColor, 0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, radius, radius);

    const qreal knobDiameter = track.height() - 3.0;
    const qreal x = track.left() + 1.5 + (track.width() - knobDiameter - 3.0) * position;
    const QRectF knob(x, track.top() + 1.5, knobDiameter, knobDiameter);
    painter.setBrush(QColor(0, 0, 0, 30));
    painter.drawEllipse(knob.translated(0, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    if (hasFocus())
        ViewStyle::paintFocusRing(painter, QRectF(rect()), radius, this);
}
