#include "InfoRow.h"

#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>

InfoRow::InfoRow(QWidget *parent)
    : QWidget(parent), m_label(ViewStyle::label(this, 11)),
      m_value(ViewStyle::label(this, 11, QFont::Normal, ViewStyle::Design::Monospaced))
{
    setObjectName(QStringLiteral("infoRow"));
    m_label->setObjectName(QStringLiteral("infoLabel"));
    ViewStyle::setTextColor(m_label, ViewStyle::secondaryText(this));
    m_value->setObjectName(QStringLiteral("infoValue"));
    m_value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_label);
    row->addStretch(1);
    row->addWidget(m_value);
}

void InfoRow::setLabel(const QString &label)
{
    m_label->setText(label);
}

void InfoRow::setValue(const QString &value)
{
    m_value->setText(value);
}

QString InfoRow::label() const
{
    return m_label->text();
}

QString InfoRow::value() const
{
    return m_value->text();
}
