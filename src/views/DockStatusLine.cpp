#include "DockStatusLine.h"

#include "DockChangeText.h"
#include "LocalizedText.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

DockStatusLine::DockStatusLine(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_syncManager(syncManager), m_locManager(locManager),
      m_symbol(new SymbolView(QStringLiteral("info.circle"), 16, ViewStyle::secondaryText(this), this)),
      m_text(ViewStyle::label(this, 12, QFont::DemiBold)), m_pushed(ViewStyle::label(this, 11))
{
    setObjectName(QStringLiteral("dockStatusLine"));
    setFill(ViewStyle::groupBoxFill(this));
    setRadius(10);
    m_text->setObjectName(QStringLiteral("dockStatusText"));
    m_text->setWordWrap(true);
    m_pushed->setObjectName(QStringLiteral("dockStatusPushed"));
    m_pushed->setWordWrap(true);
    ViewStyle::setTextColor(m_pushed, ViewStyle::secondaryText(this));

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_text);
    texts->addWidget(m_pushed);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(10);
    row->addWidget(m_symbol, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);

    connect(m_syncManager, &SyncManager::dockDifferenceChanged, this, &DockStatusLine::render);
    connect(m_syncManager, &SyncManager::syncFolderMissingChanged, this, &DockStatusLine::render);
    connect(m_locManager, &LocalizationManager::langChanged, this, &DockStatusLine::render);
    render();
}

void DockStatusLine::render()
{
    using Result = DockDifference::Result;
    // Without the folder there is nothing to compare with; the Dashboard says why above.
    setVisible(!m_syncManager->syncFolderMissing());
    const DockDifference difference = m_syncManager->dockDifference();
    QString symbol = QStringLiteral("info.circle");
    QColor color = ViewStyle::secondaryText(this);
    QString text;
    switch (difference.result) {
    case Result::Same:
        symbol = QStringLiteral("checkmark.circle.fill");
        color = ViewStyle::green(this);
        text = localized(m_locManager, "Wie das gemeinsame Dock", "Same as the shared Dock");
        break;
    case Result::Different:
        symbol = QStringLiteral("arrow.triangle.2.circlepath");
        color = ViewStyle::orange(this);
        text = localized(m_locManager, "Das gemeinsame Dock weicht ab: ", "The shared Dock differs: ") +
               DockChangeText::summary(difference, m_locManager);
        break;
    case Result::NothingShared:
        text = localized(m_locManager, "Noch kein gemeinsames Dock — Push teilt das Dock dieses Macs",
                         "No shared Dock yet — Push shares this Mac's Dock");
        break;
    case Result::Unavailable:
        symbol = QStringLiteral("exclamationmark.triangle.fill");
        color = ViewStyle::red(this);
        text = localized(m_locManager, "Das Dock lässt sich gerade nicht vergleichen",
                         "The Dock cannot be compared right now");
        break;
    }
    if (const QString kept = DockChangeText::lookKeptLocal(difference, m_locManager); !kept.isEmpty())
        text += QStringLiteral(" · ") + kept;
    m_symbol->setSymbol(symbol);
    m_symbol->setColor(color);
    m_text->setText(text);
    // The engine words its problems in German, like the shared log.
    ViewStyle::setPlainToolTip(this, difference.problem);

    const QString pushed = DockChangeText::pushedBy(difference, m_locManager);
    m_pushed->setText(localized(m_locManager, "Zuletzt geteilt: ", "Last shared: ") + pushed);
    m_pushed->setVisible(!pushed.isEmpty());
}
