#include "ConflictBanner.h"

#include "LocalizationManager.h"
#include "LocalizedText.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ConflictBanner::ConflictBanner(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_syncManager(syncManager), m_locManager(locManager),
      m_title(ViewStyle::label(this, 13, QFont::DemiBold)), m_message(ViewStyle::label(this, 11)),
      m_dismiss(new QPushButton(this))
{
    setObjectName(QStringLiteral("conflictBanner"));
    setFill(ViewStyle::withOpacity(ViewStyle::orange(), 0.08));
    setStroke(ViewStyle::withOpacity(ViewStyle::orange(), 0.3));
    setRadius(10);

    m_title->setObjectName(QStringLiteral("conflictTitle"));
    ViewStyle::setTextColor(m_title, ViewStyle::orange());
    m_message->setObjectName(QStringLiteral("conflictMessage"));
    m_message->setWordWrap(true);
    ViewStyle::setTextColor(m_message, ViewStyle::secondaryText(this));
    m_dismiss->setObjectName(QStringLiteral("dismissConflictButton"));
    ViewStyle::makeBordered(m_dismiss, 11);
    connect(m_dismiss, &QPushButton::clicked, m_syncManager, &SyncManager::dismissConflict);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_title);
    texts->addWidget(m_message);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);
    row->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 20, ViewStyle::orange(), this), 0,
                   Qt::AlignTop);
    row->addLayout(texts, 1);
    row->addWidget(m_dismiss, 0, Qt::AlignVCenter);
    // Its wrapped message decides its height; it never gives in to the rows below it.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);

    connect(m_locManager, &LocalizationManager::langChanged, this, &ConflictBanner::retranslate);
    retranslate();
}

void ConflictBanner::retranslate()
{
    const auto pick = [this](const char *german, const char *english) {
        return localized(m_locManager, german, english);
    };
    m_title->setText(pick("Konflikt erkannt", "Conflict Detected"));
    m_message->setText(
        pick("Das Dock wurde auf diesem Mac UND in iCloud verändert. Bitte wähle manuell Push oder Pull.",
             "The Dock was modified on this Mac AND in iCloud. Please choose Push or Pull manually."));
    m_dismiss->setText(pick("Ignorieren", "Dismiss"));
    m_dismiss->setToolTip(
        pick("Konflikt-Markierung entfernen ohne zu synchronisieren", "Remove the conflict flag without syncing"));
}
