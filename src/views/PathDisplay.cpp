#include "PathDisplay.h"

#include "ElidedLabel.h"
#include "SymbolView.h"
#include "ViewStyle.h"

#include <QHBoxLayout>

PathDisplay::PathDisplay(QWidget *parent)
    : RoundedPanel(parent), m_icon(new SymbolView(QString(), 12, ViewStyle::secondaryText(this), this)),
      m_text(new ElidedLabel(this))
{
    setObjectName(QStringLiteral("pathDisplay"));
    setFill(ViewStyle::controlBackground(this));
    setStroke(ViewStyle::withOpacity(ViewStyle::secondaryText(this), 0.2));
    setRadius(7);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_icon->setObjectName(QStringLiteral("pathIcon"));
    m_text->setObjectName(QStringLiteral("pathText"));
    m_text->setFont(ViewStyle::font(11, QFont::Normal, ViewStyle::Design::Monospaced));
    m_text->setElideMode(Qt::ElideMiddle);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 7, 10, 7);
    row->setSpacing(6);
    row->addWidget(m_icon);
    row->addWidget(m_text, 1);
}

void PathDisplay::display(const QString &icon, const QColor &iconColor, const QString &text, bool isPlaceholder)
{
    m_isPlaceholder = isPlaceholder;
    m_icon->setSymbol(icon);
    m_icon->setColor(iconColor);
    m_text->setText(text);
    ViewStyle::setTextColor(m_text, isPlaceholder ? ViewStyle::secondaryText(this) : ViewStyle::primaryText(this));
}

QString PathDisplay::text() const
{
    return m_text->text();
}

QString PathDisplay::displayedText() const
{
    return m_text->displayedText();
}

QString PathDisplay::icon() const
{
    return m_icon->symbol();
}
