#include "ProminentButton.h"

#include "ViewStyle.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace {
constexpr int kHorizontalPadding = 12;
constexpr int kVerticalPadding = 4;
constexpr qreal kCornerRadius = 5;
constexpr int kIconSpacing = 4; // between icon and text, as Qt's own push button has it
} // namespace

ProminentButton::ProminentButton(const QColor &tint, int pixelSize, QWidget *parent)
    : ProminentButton(QString(), tint, pixelSize, parent)
{}

ProminentButton::ProminentButton(const QString &text, const QColor &tint, int pixelSize, QWidget *parent)
    : QPushButton(text, parent), m_tint(tint)
{
    setFont(ViewStyle::font(pixelSize));
    setAutoDefault(false);
    setAttribute(Qt::WA_Hover); // repainted as the pointer comes and goes
}

QSize ProminentButton::sizeHint() const
{
    ensurePolished();
    QStyleOptionButton option;
    initStyleOption(&option);
    int width = 0;
    int height = 0;
    if (!icon().isNull()) {
        width += option.iconSize.width() + kIconSpacing;
        height = option.iconSize.height();
    }
    const QString shown = text().isEmpty() ? QStringLiteral("XXXX") : text();
    const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, shown);
    if (!text().isEmpty() || width == 0)
        width += textSize.width();
    height = std::max(height, textSize.height());
    return {width + 2 * kHorizontalPadding, height + 2 * kVerticalPadding};
}

QSize ProminentButton::minimumSizeHint() const
{
    return sizeHint();
}

void ProminentButton::paintEvent(QPaintEvent *)
{
    QColor fill = m_tint;
    if (!isEnabled())
        fill = ViewStyle::withOpacity(m_tint, 0.35);
    else if (isDown())
        fill = m_tint.darker(115);
    else if (underMouse())
        fill = m_tint.lighter(108);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.setRenderHint(QPainter::Antialiasing, false);

    QStyleOptionButton option;
    initStyleOption(&option);
    option.rect = rect().adjusted(kHorizontalPadding, kVerticalPadding, -kHorizontalPadding, -kVerticalPadding);
    option.features = QStyleOptionButton::Flat; // the fill above is the whole bevel
    option.palette.setColor(QPalette::ButtonText, isEnabled() ? QColor(Qt::white) : QColor(255, 255, 255, 204));
    style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, this);

    if (hasFocus())
        ViewStyle::paintFocusRing(painter, QRectF(rect()), kCornerRadius, this);
}
