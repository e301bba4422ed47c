#include "SyncButton.h"

#include "ActivitySpinner.h"
#include "SymbolView.h"
#include "ViewStyle.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {
constexpr int kIconSize = 18;
}

SyncButton::SyncButton(const QString &label, const QString &icon, const QColor &color, QWidget *parent)
    : QAbstractButton(parent), m_color(color), m_icon(new SymbolView(icon, kIconSize, color, this)),
      m_spinner(new ActivitySpinner(12, this)), m_label(ViewStyle::label(this, 13, QFont::DemiBold)),
      m_subtitle(ViewStyle::label(this, 10))
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_icon->setObjectName(QStringLiteral("syncButtonIcon"));
    m_spinner->setObjectName(QStringLiteral("syncButtonSpinner"));
    m_label->setObjectName(QStringLiteral("syncButtonLabel"));
    m_label->setText(label);
    m_subtitle->setObjectName(QStringLiteral("syncButtonSubtitle"));
    for (QWidget *child : std::initializer_list<QWidget *>{m_icon, m_spinner, m_label, m_subtitle})
        child->setAttribute(Qt::WA_TransparentForMouseEvents);

    // The icon and the spinner share one slot of the icon's height, so the face keeps its size.
    auto *slot = new QWidget(this);
    slot->setAttribute(Qt::WA_TransparentForMouseEvents);
    slot->setFixedHeight(kIconSize);
    auto *stack = new QStackedLayout(slot);
    stack->setStackingMode(QStackedLayout::StackAll);
    stack->addWidget(m_icon);
    stack->addWidget(m_spinner);
    stack->setAlignment(m_icon, Qt::AlignCenter);
    stack->setAlignment(m_spinner, Qt::AlignCenter);
    m_spinner->hide();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 12, 8, 12);
    column->setSpacing(6);
    column->addWidget(slot, 0, Qt::AlignHCenter);
    column->addWidget(m_label, 0, Qt::AlignHCenter);
    column->addWidget(m_subtitle, 0, Qt::AlignHCenter);
    updateColors();
}

void SyncButton::setSubtitle(const QString &subtitle)
{
    m_subtitle->setText(subtitle);
}

void SyncButton::setLoading(bool loading)
{
    m_loading = loading;
    m_icon->setVisible(!loading);
    m_spinner->setVisible(loading);
    setEnabled(!loading);
}

QString SyncButton::label() const
{
    return m_label->text();
}

QString SyncButton::subtitle() const
{
    return m_subtitle->text();
}

QSize SyncButton::sizeHint() const
{
    return layout()->sizeHint();
}

QSize SyncButton::minimumSizeHint() const
{
    return layout()->minimumSize();
}

void SyncButton::changeEvent(QEvent *event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateColors();
}

void SyncButton::updateColors()
{
    // A disabled button fades its face and texts the way a disabled plain button does.
    const qreal fade = isEnabled() ? 1.0 : 0.45;
    ViewStyle::setTextColor(m_label, ViewStyle::withOpacity(ViewStyle::primaryText(this), fade));
    ViewStyle::setTextColor(m_subtitle, ViewStyle::withOpacity(ViewStyle::secondaryText(this), fade));
    m_icon->setColor(ViewStyle::withOpacity(m_color, fade));
    update();
}

void SyncButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pressed = isDown() ? 1.6 : 1.0;
    const qreal fade = isEnabled() ? 1.0 : 0.6;
    QPainterPath face;
    face.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    painter.fillPath(face, ViewStyle::withOpacity(m_color, 0.08 * pressed * fade));
    painter.setPen(QPen(ViewStyle::withOpacity(m_color, 0.2 * fade), 1.0));
    painter.drawPath(face);
    if (hasFocus())
        ViewStyle::paintFocusRing(painter, QRectF(rect()), 10, this);
}
