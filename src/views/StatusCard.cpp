#include "StatusCard.h"

#include "ElidedLabel.h"
#include "SymbolView.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

StatusCard::StatusCard(const QString &icon, const QColor &color, QWidget *parent)
    : RoundedPanel(parent), m_title(new ElidedLabel(this)), m_subtitle(new ElidedLabel(this)),
      m_value(new ElidedLabel(this))
{
    setObjectName(QStringLiteral("statusCard"));
    setFill(ViewStyle::groupBoxFill(this));
    setRadius(8);
    m_title->setObjectName(QStringLiteral("statusCardTitle"));
    m_title->setFont(ViewStyle::font(12, QFont::DemiBold));
    m_subtitle->setObjectName(QStringLiteral("statusCardSubtitle"));
    m_subtitle->setFont(ViewStyle::font(10));
    ViewStyle::setTextColor(m_subtitle, ViewStyle::secondaryText(this));
    m_value->setObjectName(QStringLiteral("statusCardValue"));
    m_value->setFont(ViewStyle::font(11, QFont::Normal, ViewStyle::Design::Monospaced));
    m_value->setMinimumScale(0.7);

    auto *header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(new SymbolView(icon, 14, color, this));
    header->addWidget(m_title, 1);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    column->setSpacing(8);
    column->addLayout(header);
    column->addWidget(m_subtitle);
    column->addWidget(m_value);
}

void StatusCard::setTitle(const QString &title)
{
    m_title->setText(title);
}

void StatusCard::setSubtitle(const QString &subtitle)
{
    m_subtitle->setText(subtitle);
}

void StatusCard::setValue(const QString &value)
{
    m_value->setText(value);
}

QString StatusCard::title() const
{
    return m_title->text();
}

QString StatusCard::subtitle() const
{
    return m_subtitle->text();
}

QString StatusCard::value() const
{
    return m_value->text();
}
