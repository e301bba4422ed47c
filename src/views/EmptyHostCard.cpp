#include "EmptyHostCard.h"

#include "LocalizedText.h"
#include "SymbolView.h"
#include "ViewStyle.h"

#include <QLabel>
#include <QVBoxLayout>

EmptyHostCard::EmptyHostCard(LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_locManager(locManager), m_title(ViewStyle::label(this, 11)),
      m_subtitle(ViewStyle::label(this, 10))
{
    setObjectName(QStringLiteral("emptyHostCard"));
    setFill(ViewStyle::groupBoxFill(this));
    setRadius(8);
    const QColor secondary = ViewStyle::secondaryText(this);
    m_title->setObjectName(QStringLiteral("emptyHostTitle"));
    ViewStyle::setTextColor(m_title, ViewStyle::withOpacity(secondary, 0.5));
    m_subtitle->setObjectName(QStringLiteral("emptyHostSubtitle"));
    ViewStyle::setTextColor(m_subtitle, ViewStyle::withOpacity(secondary, 0.4));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(QMargins(0, 8, 0, 8) + RoundedPanel::kGroupBoxPadding);
    column->setSpacing(6);
    column->addWidget(
        new SymbolView(QStringLiteral("plus.circle.dashed"), 18, ViewStyle::withOpacity(secondary, 0.4), this), 0,
        Qt::AlignHCenter);
    column->addWidget(m_title, 0, Qt::AlignHCenter);
    column->addWidget(m_subtitle, 0, Qt::AlignHCenter);

    connect(m_locManager, &LocalizationManager::langChanged, this, &EmptyHostCard::retranslate);
    retranslate();
}

void EmptyHostCard::retranslate()
{
    m_title->setText(localized(m_locManager, "Weiterer Mac", "Another Mac"));
    m_subtitle->setText(localized(m_locManager, "Noch nicht verbunden", "Not yet connected"));
    setToolTip(localized(m_locManager,
                         "Bis zu 4 Macs können denselben iCloud-Ordner nutzen. Installiere Tandrill auf einem "
                         "weiteren Mac und wähle denselben Ordner.",
                         "Up to 4 Macs can share the same iCloud folder. Install Tandrill on another Mac and choose "
                         "the same folder."));
}
