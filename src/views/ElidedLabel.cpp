#include "ElidedLabel.h"

#include <QPainter>

#include <cmath>

ElidedLabel::ElidedLabel(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    update();
}

void ElidedLabel::setMinimumScale(qreal scale)
{
    m_minimumScale = std::clamp<qreal>(scale, 0.1, 1.0);
    update();
}

QFont ElidedLabel::fittedFont() const
{
    QFont result = font();
    const int advance = fontMetrics().horizontalAdvance(m_text);
    if (m_minimumScale >= 1.0 || advance <= width() || advance == 0 || result.pixelSize() <= 0)
        return result;
    const qreal scale = std::max(m_minimumScale, static_cast<qreal>(width()) / advance);
    result.setPixelSize(std::max(1, static_cast<int>(std::floor(result.pixelSize() * scale))));
    return result;
}

QString ElidedLabel::displayedText() const
{
    return QFontMetrics(fittedFont()).elidedText(m_text, m_elideMode, width());
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return QSize(metrics.horizontalAdvance(m_text) + 1, metrics.height());
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return QSize(std::min(sizeHint().width(), metrics.horizontalAdvance(QStringLiteral("…")) * 4), metrics.height());
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFont fitted = fittedFont();
    painter.setFont(fitted);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QString shown = QFontMetrics(fitted).elidedText(m_text, m_elideMode, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}
