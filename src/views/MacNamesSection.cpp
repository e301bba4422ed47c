#include "MacNamesSection.h"

#include "HeadingLabel.h"
#include "HostNameRow.h"
#include "LocalizedText.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

HostInfo thisMacInfo(SyncManager *syncManager)
{
    // Present even before this Mac's status file exists.
    HostInfo host;
    host.id = QUuid::createUuid();
    host.hostname = syncManager->myHostname();
    host.lastAction = QStringLiteral("online");
    host.lastTime = syncManager->lastSyncLocal();
    host.isThisMac = true;
    return host;
}

} // namespace

MacNamesSection::MacNamesSection(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_syncManager(syncManager), m_locManager(locManager),
      m_heading(new HeadingLabel(QStringLiteral("tag"), this)), m_description(ViewStyle::label(this, 11)),
      m_thisMac(new HostNameRow(thisMacInfo(syncManager), syncManager, locManager, this)), m_otherRows(new QVBoxLayout),
      m_moreMacsHint(ViewStyle::label(this, 10))
{
    setObjectName(QStringLiteral("macNamesSection"));
    setFill(ViewStyle::groupBoxFill(this));
    setRadius(8);
    m_description->setWordWrap(true);
    ViewStyle::setTextColor(m_description, ViewStyle::secondaryText(this));
    m_thisMac->setObjectName(QStringLiteral("thisMacNameRow"));
    m_moreMacsHint->setObjectName(QStringLiteral("moreMacsHint"));
    m_moreMacsHint->setWordWrap(true);
    ViewStyle::setTextColor(m_moreMacsHint, ViewStyle::withOpacity(ViewStyle::secondaryText(this), 0.7));
    m_otherRows->setContentsMargins(0, 0, 0, 0);
    m_otherRows->setSpacing(8);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    column->setSpacing(8);
    column->addWidget(m_heading);
    column->addWidget(m_description);
    column->addWidget(m_thisMac);
    column->addLayout(m_otherRows);
    column->addWidget(m_moreMacsHint);

    connect(m_syncManager, &SyncManager::connectedHostsChanged, this, &MacNamesSection::renderRows);
    connect(m_syncManager, &SyncManager::lastSyncLocalChanged, this,
            [this] { m_thisMac->setHost(thisMacInfo(m_syncManager)); });
    connect(m_locManager, &LocalizationManager::langChanged, this, &MacNamesSection::retranslate);
    renderRows();
    retranslate();
}

void MacNamesSection::retranslate()
{
    m_heading->setText(localized(m_locManager, "Mac-Namen", "Mac Names"));
    setToolTip(localized(m_locManager, "Anzeigenamen für deine Macs vergeben", "Assign display names to your Macs"));
    m_description->setText(localized(
        m_locManager, "Vergib jedem Mac einen leicht erkennbaren Namen — sichtbar im Dashboard und in der Menüleiste.",
        "Give each Mac an easy-to-recognize name — visible in the Dashboard and menu bar."));
    m_moreMacsHint->setText(
        localized(m_locManager, "Weitere Macs erscheinen hier sobald sie sich mit demselben iCloud-Ordner verbinden.",
                  "More Macs will appear here once they connect to the same iCloud folder."));
}

void MacNamesSection::renderRows()
{
    // Rows are matched to hosts by host name, so a name being typed survives a refresh.
    QList<HostNameRow *> unused = m_others;
    QList<HostNameRow *> rows;
    for (const HostInfo &host : m_syncManager->connectedHosts()) {
        if (host.isThisMac)
            continue;
        const auto match = std::find_if(unused.begin(), unused.end(),
                                        [&host](HostNameRow *row) { return row->host().hostname == host.hostname; });
        if (match != unused.end()) {
            (*match)->setHost(host);
            rows.append(*match);
            unused.erase(match);
        } else {
            rows.append(new HostNameRow(host, m_syncManager, m_locManager, this));
        }
    }
    for (HostNameRow *row : std::as_const(unused)) {
        m_otherRows->removeWidget(row);
        row->hide();
        row->deleteLater(); // it may be the sender of the signal that led here
    }
    for (HostNameRow *row : std::as_const(rows))
        m_otherRows->removeWidget(row);
    for (HostNameRow *row : std::as_const(rows)) {
        m_otherRows->addWidget(row);
        row->show();
    }
    m_others = rows;
    m_moreMacsHint->setVisible(rows.isEmpty());
}
