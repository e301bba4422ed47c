#include "StateBadge.h"

#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kHorizontalPadding = 10;
constexpr int kVerticalPadding = 5;
constexpr int kDotSize = 8;
constexpr int kDotSpacing = 6;
constexpr int kWarningSize = 11;
constexpr int kWarningSpacing = 5;
constexpr qreal kCornerRadius = 20;
constexpr int kGlowRadius = 4;
} // namespace

StateBadge::StateBadge(QWidget *parent) : QWidget(parent), m_label(new QLabel(this))
{
    m_label->setObjectName(QStringLiteral("badgeText"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setFont(ViewStyle::font(11, QFont::Medium));

    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(m_label);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setState(State::Inactive, QString(), QString());
}

void StateBadge::setState(State state, const QString &text, const QString &toolTip)
{
    m_state = state;
    m_label->setText(text);
    setToolTip(toolTip);
    const int symbol = state == State::Conflict ? kWarningSize + kWarningSpacing : kDotSize + kDotSpacing;
    layout()->setContentsMargins(kHorizontalPadding + symbol, kVerticalPadding, kHorizontalPadding, kVerticalPadding);
    applyColor();
    update();
}

QColor StateBadge::color() const
{
    return m_state == State::Active ? ViewStyle::green() : ViewStyle::orange();
}

QString StateBadge::text() const
{
    return m_label->text();
}

void StateBadge::applyColor()
{
    ViewStyle::setTextColor(m_label, color());
}

void StateBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QColor background = ViewStyle::withOpacity(color(), m_state == State::Conflict ? 0.12 : 0.1);
    const QRectF pill = QRectF(rect());
    const qreal radius = std::min(kCornerRadius, pill.height() / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(pill, radius, radius);

    const qreal centreY = pill.center().y();
    if (m_state == State::Conflict)
        paintWarning(painter, QRectF(kHorizontalPadding, centreY - kWarningSize / 2.0, kWarningSize, kWarningSize));
    else
        paintDot(painter, QRectF(kHorizontalPadding, centreY - kDotSize / 2.0, kDotSize, kDotSize));
}

void StateBadge::paintDot(QPainter &painter, const QRectF &area) const
{
    // A soft glow of the dot's own colour, stronger for the running state.
    const QColor dot = color();
    const qreal glowOpacity = m_state == State::Active ? 0.6 : 0.4;
    for (int step = kGlowRadius; step > 0; --step) {
        painter.setBrush(ViewStyle::withOpacity(dot, glowOpacity * 0.35 * (kGlowRadius - step + 1) / kGlowRadius));
        painter.drawEllipse(area.adjusted(-step, -step, step, step));
    }
    painter.setBrush(dot);
    painter.drawEllipse(area);
}

void StateBadge::paintWarning(QPainter &painter, const QRectF &area) const
{
    QPainterPath triangle;
    triangle.moveTo(area.center().x(), area.top());
    triangle.lineTo(area.right(), area.bottom());
    triangle.lineTo(area.left(), area.bottom());
    triangle.closeSubpath();

    // The exclamation mark is cut out of the filled triangle.
    const qreal x = area.center().x();
    const qreal stroke = area.width() / 8;
    QPainterPath mark;
    mark.addRect(QRectF(x - stroke / 2, area.top() + area.height() * 0.35, stroke, area.height() * 0.33));
    mark.addRect(QRectF(x - stroke / 2, area.top() + area.height() * 0.76, stroke, stroke));

    painter.setBrush(color());
    painter.drawPath(triangle.subtracted(mark));
}
