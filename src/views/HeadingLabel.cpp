#include "HeadingLabel.h"

#include "SymbolView.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>

HeadingLabel::HeadingLabel(const QString &symbol, QWidget *parent)
    : QWidget(parent), m_text(ViewStyle::label(this, 13, QFont::DemiBold))
{
    m_text->setObjectName(QStringLiteral("headingText"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(new SymbolView(symbol, 14, ViewStyle::primaryText(this), this));
    row->addWidget(m_text);
    row->addStretch(1);
}

void HeadingLabel::setText(const QString &text)
{
    m_text->setText(text);
}

QString HeadingLabel::text() const
{
    return m_text->text();
}
