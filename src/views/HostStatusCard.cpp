#include "HostStatusCard.h"

#include "DateTimeText.h"
#include "ElidedLabel.h"
#include "HostDisplayName.h"
#include "LocalizedText.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

HostStatusCard::HostStatusCard(const HostInfo &host, SyncManager *syncManager, LocalizationManager *locManager,
                               QWidget *parent)
    : RoundedPanel(parent), m_host(host), m_syncManager(syncManager), m_locManager(locManager),
      m_machine(new SymbolView(QString(), 15, ViewStyle::blue(), this)), m_displayName(new ElidedLabel(this)),
      m_hostname(new ElidedLabel(this)), m_thisMacTag(new RoundedPanel(this)),
      m_thisMacText(ViewStyle::label(m_thisMacTag, 9, QFont::Medium)),
      m_actionIcon(new SymbolView(QString(), 10, ViewStyle::secondaryText(this), this)),
      m_actionLabel(ViewStyle::label(this, 10)), m_lastTime(new ElidedLabel(this))
{
    setObjectName(QStringLiteral("hostStatusCard"));
    setFill(ViewStyle::groupBoxFill(this));
    setRadius(8);

    m_displayName->setObjectName(QStringLiteral("hostDisplayName"));
    m_displayName->setFont(ViewStyle::font(12, QFont::DemiBold));
    m_hostname->setObjectName(QStringLiteral("hostRealName"));
    m_hostname->setFont(ViewStyle::font(9));
    ViewStyle::setTextColor(m_hostname, ViewStyle::secondaryText(this));

    m_thisMacTag->setObjectName(QStringLiteral("thisMacTag"));
    m_thisMacTag->setFill(ViewStyle::withOpacity(ViewStyle::blue(), 0.12));
    m_thisMacTag->setRadius(6);
    ViewStyle::setTextColor(m_thisMacText, ViewStyle::blue());
    auto *tagLayout = new QHBoxLayout(m_thisMacTag);
    tagLayout->setContentsMargins(6, 2, 6, 2);
    tagLayout->addWidget(m_thisMacText);

    m_actionIcon->setObjectName(QStringLiteral("hostActionIcon"));
    m_actionLabel->setObjectName(QStringLiteral("hostActionLabel"));
    ViewStyle::setTextColor(m_actionLabel, ViewStyle::secondaryText(this));
    m_lastTime->setObjectName(QStringLiteral("hostLastTime"));
    m_lastTime->setFont(ViewStyle::font(10, QFont::Normal, ViewStyle::Design::Monospaced));
    ViewStyle::setTextColor(m_lastTime, ViewStyle::secondaryText(this));

    auto *names = new QVBoxLayout;
    names->setSpacing(1);
    names->addWidget(m_displayName);
    names->addWidget(m_hostname);
    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(m_machine);
    header->addLayout(names);
    header->addWidget(m_thisMacTag, 0, Qt::AlignVCenter);
    header->addStretch(1);
    auto *action = new QHBoxLayout;
    action->setSpacing(4);
    action->addWidget(m_actionIcon);
    action->addWidget(m_actionLabel);
    action->addStretch(1);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    column->setSpacing(8);
    column->addLayout(header);
    column->addLayout(action);
    column->addWidget(m_lastTime);

    connect(m_syncManager, &SyncManager::hostCustomNamesChanged, this, &HostStatusCard::render);
    connect(m_locManager, &LocalizationManager::langChanged, this, &HostStatusCard::render);
    render();
}

void HostStatusCard::setHost(const HostInfo &host)
{
    m_host = host;
    render();
}

void HostStatusCard::render()
{
    const auto custom = HostDisplayName::customName(m_syncManager->hostCustomNames(), m_host.hostname);
    const QString displayName = custom.value_or(m_host.hostname);
    m_machine->setSymbol(m_host.isThisMac ? QStringLiteral("desktopcomputer") : QStringLiteral("laptopcomputer"));
    m_machine->setColor(m_host.isThisMac ? ViewStyle::blue() : ViewStyle::purple());
    m_displayName->setText(displayName);
    m_hostname->setText(m_host.hostname);
    m_hostname->setVisible(custom.has_value());
    m_thisMacTag->setVisible(m_host.isThisMac);
    m_thisMacText->setText(localized(m_locManager, "Dieser Mac", "This Mac"));
    // A Mac in conflict waits for its user: that matters more than what it did last.
    m_actionIcon->setSymbol(m_host.inConflict ? QStringLiteral("exclamationmark.triangle.fill") : m_host.actionIcon());
    m_actionIcon->setColor(m_host.inConflict ? ViewStyle::orange() : ViewStyle::secondaryText(this));
    m_actionLabel->setText(m_host.inConflict ? localized(m_locManager, "Konflikt – wartet auf eine Wahl",
                                                         "Conflict – waiting for a choice")
                                             : m_host.actionLabel());
    ViewStyle::setTextColor(m_actionLabel, m_host.inConflict ? ViewStyle::orange() : ViewStyle::secondaryText(this));
    m_lastTime->setText(storedTimeText(m_locManager, m_host.lastTime));
    ViewStyle::setPlainToolTip(this, localized(m_locManager, "Letzter Sync-Status von ", "Last sync status of ") +
                                         displayName);
}
