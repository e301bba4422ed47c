#include "BulletRow.h"

#include "SymbolView.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>

BulletRow::BulletRow(const QString &icon, QWidget *parent) : QWidget(parent), m_text(ViewStyle::label(this, 12))
{
    setObjectName(QStringLiteral("bulletRow"));
    m_text->setObjectName(QStringLiteral("bulletText"));
    m_text->setWordWrap(true);
    ViewStyle::setTextColor(m_text, ViewStyle::secondaryText(this));
    auto *symbol = new SymbolView(icon, 12, ViewStyle::blue(), this);
    symbol->setFrameWidth(16);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(symbol, 0, Qt::AlignTop);
    row->addWidget(m_text, 1);
}

void BulletRow::setText(const QString &text)
{
    m_text->setText(text);
}

QString BulletRow::text() const
{
    return m_text->text();
}
