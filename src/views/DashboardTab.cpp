#include "DashboardTab.h"

#include "ConflictBanner.h"
#include "DockStatusLine.h"
#include "EmptyHostCard.h"
#include "HeadingLabel.h"
#include "HostStatusCard.h"
#include "IntervalStepper.h"
#include "LocalizedText.h"
#include "ProminentButton.h"
#include "PullConfirmation.h"
#include "RoundedPanel.h"
#include "SameNameNotice.h"
#include "StatusCard.h"
#include "SymbolIcons.h"
#include "SymbolView.h"
#include "SyncButton.h"
#include "SyncManager.h"
#include "SyncStatusText.h"
#include "ViewStyle.h"

#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
constexpr int kPlacesForMacs = 4;
constexpr int kMinimumInterval = 1;
constexpr int kMaximumInterval = 24;
} // namespace

DashboardTab::DashboardTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager)
{
    setObjectName(QStringLiteral("dashboardTab"));
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("dashboardContent"));
    m_content = content;

    m_banner = new ConflictBanner(m_syncManager, m_locManager, content);
    m_folderMissing = buildFolderMissingNotice(content);

    m_hostGrid = new QWidget(content);
    m_hostGrid->setObjectName(QStringLiteral("hostGrid"));
    m_hostGridLayout = new QGridLayout(m_hostGrid);
    m_hostGridLayout->setContentsMargins(0, 0, 0, 0);
    m_hostGridLayout->setHorizontalSpacing(8);
    m_hostGridLayout->setVerticalSpacing(12);
    m_hostGridLayout->setColumnStretch(0, 1);
    m_hostGridLayout->setColumnStretch(1, 1);

    m_statusCards = new QWidget(content);
    m_statusCards->setObjectName(QStringLiteral("statusCards"));
    m_localCard = new StatusCard(QStringLiteral("laptopcomputer"), ViewStyle::blue(), m_statusCards);
    m_localCard->setObjectName(QStringLiteral("localStatusCard"));
    m_remoteCard = new StatusCard(QStringLiteral("laptopcomputer"), ViewStyle::purple(), m_statusCards);
    m_remoteCard->setObjectName(QStringLiteral("remoteStatusCard"));
    auto *cardsRow = new QHBoxLayout(m_statusCards);
    cardsRow->setContentsMargins(0, 0, 0, 0);
    cardsRow->setSpacing(12);
    cardsRow->addWidget(m_localCard, 1);
    cardsRow->addWidget(m_remoteCard, 1);

    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    column->addWidget(m_folderMissing);
    column->addWidget(m_banner);
    column->addWidget(new SameNameNotice(m_syncManager, m_locManager, content));
    column->addWidget(new DockStatusLine(m_syncManager, m_locManager, content));
    column->addWidget(m_hostGrid);
    column->addWidget(m_statusCards);
    column->addWidget(buildAutoSyncBox());
    column->addWidget(buildManualSyncBox());
    column->addStretch(1);

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("dashboardScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    SyncManager *mgr = m_syncManager;
    connect(mgr, &SyncManager::conflictDetectedChanged, this, [this, scroll](bool conflict) {
        m_banner->setVisible(conflict);
        // The banner appears above the Macs: bring it into view whole, wherever the view was
        // scrolled to, once the layout has made room for it.
        // When it goes, the status line under the sync buttons says how the choice went: keep it in view.
        QWidget *target = conflict ? static_cast<QWidget *>(m_banner) : m_statusMessage;
        QMetaObject::invokeMethod(
            this, [scroll, target] { scroll->ensureWidgetVisible(target, 0, 0); }, Qt::QueuedConnection);
    });
    connect(mgr, &SyncManager::connectedHostsChanged, this, &DashboardTab::renderHosts);
    connect(mgr, &SyncManager::lastSyncLocalChanged, this, &DashboardTab::renderStatusCards);
    connect(mgr, &SyncManager::lastSyncRemoteChanged, this, &DashboardTab::renderStatusCards);
    connect(mgr, &SyncManager::remoteHostnameChanged, this, &DashboardTab::renderStatusCards);
    connect(mgr, &SyncManager::daemonRunningChanged, this, &DashboardTab::renderDaemon);
    connect(mgr, &SyncManager::intervalHoursChanged, this, &DashboardTab::renderInterval);
    connect(mgr, &SyncManager::isSyncingChanged, this, &DashboardTab::renderSyncing);
    connect(mgr, &SyncManager::syncStatusChanged, this, &DashboardTab::renderStatusMessage);
    connect(mgr, &SyncManager::syncFolderMissingChanged, m_folderMissing, &QWidget::setVisible);
    connect(m_locManager, &LocalizationManager::langChanged, this, &DashboardTab::retranslate);

    m_banner->setVisible(mgr->conflictDetected());
    m_folderMissing->setVisible(mgr->syncFolderMissing());
    renderHosts();
    renderDaemon();
    renderSyncing();
    retranslate();
    if (const QString message = syncStatusText(mgr->syncStatus(), m_locManager); !message.isEmpty()) {
        m_statusMessage->setText(message);
        m_statusOpacity->setOpacity(1.0);
        m_statusMessage->show();
    }
}

QSize DashboardTab::sizeHint() const
{
    // Room for the grid of four Macs and both sync boxes without scrolling, also while fewer rows
    // are shown: the window is sized from this once. A conflict's banner is rare and brought into
    // view when it comes; room kept for it would make the window too tall for a 1440×900 screen.
    QSize hint = m_content->sizeHint();
    const int spacing = m_content->layout()->spacing();
    if (m_hostGrid->isHidden()) {
        EmptyHostCard probe(m_locManager);
        const int grid = 2 * probe.sizeHint().height() + m_hostGridLayout->verticalSpacing();
        hint.rheight() += grid - (m_statusCards->isHidden() ? -spacing : m_statusCards->sizeHint().height());
    }
    return hint;
}

QWidget *DashboardTab::buildFolderMissingNotice(QWidget *parent)
{
    auto *notice = new RoundedPanel(parent);
    notice->setObjectName(QStringLiteral("folderMissingNotice"));
    notice->setFill(ViewStyle::withOpacity(ViewStyle::red(this), 0.08));
    notice->setStroke(ViewStyle::withOpacity(ViewStyle::red(this), 0.3));
    notice->setRadius(10);
    m_folderMissingTitle = ViewStyle::label(notice, 13, QFont::DemiBold);
    m_folderMissingTitle->setObjectName(QStringLiteral("folderMissingTitle"));
    ViewStyle::setTextColor(m_folderMissingTitle, ViewStyle::red(this));
    m_folderMissingText = ViewStyle::label(notice, 11);
    m_folderMissingText->setWordWrap(true);
    ViewStyle::setTextColor(m_folderMissingText, ViewStyle::secondaryText(this));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_folderMissingTitle);
    texts->addWidget(m_folderMissingText);
    auto *row = new QHBoxLayout(notice);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);
    row->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 20, ViewStyle::red(this), notice), 0,
                   Qt::AlignTop);
    m_chooseFolder = new QPushButton(notice);
    m_chooseFolder->setObjectName(QStringLiteral("chooseFolderButton"));
    ViewStyle::makeBordered(m_chooseFolder, 11);
    connect(m_chooseFolder, &QPushButton::clicked, this, [mgr = QPointer<SyncManager>(m_syncManager)] {
        mgr->pickSyncFolder([mgr](std::optional<QString> folder) {
            if (!mgr || !folder)
                return; // cancelled: nothing changes
            mgr->changeSyncFolder(*folder);
            if (mgr->daemonRunning()) {
                mgr->stopDaemon();
                mgr->startDaemon();
            }
        });
    });
    texts->addWidget(m_chooseFolder, 0, Qt::AlignLeft);
    row->addLayout(texts, 1);
    return notice;
}

QWidget *DashboardTab::buildAutoSyncBox()
{
    auto *box = RoundedPanel::groupBox();
    box->setObjectName(QStringLiteral("autoSyncBox"));

    m_start = new ProminentButton(ViewStyle::green(), 13, box);
    m_start->setObjectName(QStringLiteral("startButton"));
    m_start->setIcon(SymbolIcons::icon(QStringLiteral("play.fill"), Qt::white));
    connect(m_start, &QPushButton::clicked, m_syncManager, &SyncManager::startDaemon);
    m_stop = new ProminentButton(ViewStyle::red(), 13, box);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setIcon(SymbolIcons::icon(QStringLiteral("stop.fill"), Qt::white));
    connect(m_stop, &QPushButton::clicked, m_syncManager, &SyncManager::stopDaemon);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);

    m_intervalCaption = ViewStyle::label(box, 12);
    m_intervalCaption->setObjectName(QStringLiteral("intervalCaption"));
    ViewStyle::setTextColor(m_intervalCaption, ViewStyle::secondaryText(this));
    m_stepper = new IntervalStepper(kMinimumInterval, kMaximumInterval, box);
    m_stepper->setObjectName(QStringLiteral("intervalStepper"));
    connect(m_stepper, &IntervalStepper::stepped, m_syncManager, &SyncManager::setIntervalHours);
    m_apply = new QPushButton(box);
    m_apply->setObjectName(QStringLiteral("applyIntervalButton"));
    ViewStyle::makeBordered(m_apply, 11);
    connect(m_apply, &QPushButton::clicked, this, &DashboardTab::applyInterval);
    auto *interval = new QHBoxLayout;
    interval->setSpacing(10);
    interval->addWidget(m_intervalCaption);
    interval->addWidget(m_stepper);
    interval->addWidget(m_apply);
    interval->addStretch(1);

    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    column->setSpacing(14);
    m_autoSyncHeading = new HeadingLabel(QStringLiteral("arrow.triangle.2.circlepath"), box);
    column->addWidget(m_autoSyncHeading);
    column->addLayout(buttons);
    column->addLayout(interval);
    return box;
}

QWidget *DashboardTab::buildManualSyncBox()
{
    auto *box = RoundedPanel::groupBox();
    box->setObjectName(QStringLiteral("manualSyncBox"));
    m_push = new SyncButton(QStringLiteral("Push"), QStringLiteral("arrow.up.to.line"), ViewStyle::blue(), box);
    m_push->setObjectName(QStringLiteral("pushButton"));
    connect(m_push, &SyncButton::clicked, this, [this] { m_syncManager->performSync(SyncEngine::Mode::Push); });
    m_pull = new SyncButton(QStringLiteral("Pull"), QStringLiteral("arrow.down.to.line"), ViewStyle::purple(), box);
    m_pull->setObjectName(QStringLiteral("pullButton"));
    connect(m_pull, &SyncButton::clicked, this,
            [this] { PullConfirmation::pullAfterAsking(m_syncManager, m_locManager, this); });
    m_auto = new SyncButton(QStringLiteral("Auto"), QStringLiteral("wand.and.stars"), ViewStyle::teal(), box);
    m_auto->setObjectName(QStringLiteral("autoButton"));
    connect(m_auto, &SyncButton::clicked, this, [this] { m_syncManager->performSync(SyncEngine::Mode::Auto); });
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(m_push, 1);
    buttons->addWidget(m_pull, 1);
    buttons->addWidget(m_auto, 1);

    m_statusMessage = ViewStyle::label(box, 12);
    m_statusMessage->setObjectName(QStringLiteral("statusMessage"));
    ViewStyle::setTextColor(m_statusMessage, ViewStyle::secondaryText(this));
    m_statusOpacity = new QGraphicsOpacityEffect(m_statusMessage);
    m_statusOpacity->setOpacity(0.0);
    m_statusMessage->setGraphicsEffect(m_statusOpacity);
    m_statusMessage->hide();
    m_statusFade = new QPropertyAnimation(m_statusOpacity, "opacity", this);
    m_statusFade->setDuration(350);
    m_statusFade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_statusFade, &QPropertyAnimation::finished, this, [this] {
        if (m_statusOpacity->opacity() <= 0.0)
            m_statusMessage->hide();
    });

    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    column->setSpacing(14);
    m_manualSyncHeading = new HeadingLabel(QStringLiteral("hand.tap"), box);
    column->addWidget(m_manualSyncHeading);
    column->addLayout(buttons);
    column->addWidget(m_statusMessage);
    return box;
}

void DashboardTab::retranslate()
{
    m_autoSyncHeading->setText(localized(m_locManager, "Automatischer Sync", "Auto Sync"));
    m_start->setText(localized(m_locManager, "Starten", "Start"));
    m_start->setToolTip(localized(m_locManager, "Startet den automatischen Hintergrund-Sync im gewählten Intervall",
                                  "Starts the background auto sync at the selected interval"));
    m_stop->setText(localized(m_locManager, "Stoppen", "Stop"));
    m_stop->setToolTip(
        localized(m_locManager, "Hält den automatischen Hintergrund-Sync an", "Stops the background auto sync"));
    m_intervalCaption->setText(localized(m_locManager, "Intervall:", "Interval:"));
    m_stepper->setToolTip(localized(m_locManager, "Wie oft Tandrill automatisch prüft ob das Dock synchron ist",
                                    "How often Tandrill checks if the Dock is in sync"));
    m_apply->setText(localized(m_locManager, "Übernehmen", "Apply"));
    m_apply->setToolTip(localized(m_locManager, "Neues Intervall speichern und Daemon neu starten",
                                  "Save new interval and restart daemon"));
    renderInterval();

    m_manualSyncHeading->setText(localized(m_locManager, "Manueller Sync", "Manual Sync"));
    m_push->setSubtitle(localized(m_locManager, "Lokal → iCloud", "Local → iCloud"));
    m_push->setToolTip(localized(m_locManager, "Dein aktuelles Dock in den iCloud-Ordner hochladen.",
                                 "Upload your current Dock to the iCloud folder."));
    m_pull->setSubtitle(localized(m_locManager, "iCloud → Lokal", "iCloud → Local"));
    m_pull->setToolTip(localized(m_locManager, "Das Dock aus dem iCloud-Ordner auf diesen Mac übertragen.",
                                 "Download the Dock from the iCloud folder to this Mac."));
    m_auto->setSubtitle(localized(m_locManager, "Automatisch", "Automatic"));
    m_auto->setToolTip(localized(m_locManager,
                                 "Gleiche Docks sind synchron; eine Änderung auf einer Seite wird geteilt; "
                                 "Änderungen auf beiden Seiten werden gemeldet.",
                                 "Equal Docks are in sync; a change on one side is shared; changes on both sides "
                                 "are flagged."));
    m_folderMissingTitle->setText(localized(m_locManager, "Sync-Ordner nicht gefunden", "Sync folder not found"));
    m_folderMissingText->setText(
        localized(m_locManager,
                  "Tandrill legt ihn nicht neu an, damit kein Mac den Anschluss verliert. Wurde er umbenannt, "
                  "findet Tandrill ihn beim nächsten Sync von selbst; sonst prüfe iCloud Drive oder wähle ihn neu.",
                  "Tandrill does not create it again, so that no Mac is cut off. If it was renamed, Tandrill finds "
                  "it at the next sync by itself; otherwise check iCloud Drive or choose it again."));
    m_chooseFolder->setText(localized(m_locManager, "Ordner wählen…", "Choose folder…"));
    if (m_statusMessage->isVisible() && m_syncManager->syncStatus().phase != SyncStatus::Phase::Idle)
        m_statusMessage->setText(syncStatusText(m_syncManager->syncStatus(), m_locManager));
    renderStatusCards();
}

void DashboardTab::renderHosts()
{
    const QList<HostInfo> hosts = m_syncManager->connectedHosts();
    // Cards are kept and refilled, so a refresh does not rebuild the grid.
    while (m_hostCards.size() > hosts.size())
        delete m_hostCards.takeLast();
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        if (i < m_hostCards.size())
            m_hostCards[i]->setHost(hosts[i]);
        else
            m_hostCards.append(new HostStatusCard(hosts[i], m_syncManager, m_locManager, m_hostGrid));
    }
    const qsizetype empties = hosts.isEmpty() ? 0 : std::max<qsizetype>(0, kPlacesForMacs - hosts.size());
    while (m_emptyCards.size() > empties)
        delete m_emptyCards.takeLast();
    while (m_emptyCards.size() < empties)
        m_emptyCards.append(new EmptyHostCard(m_locManager, m_hostGrid));

    int index = 0;
    const auto place = [this, &index](QWidget *card) {
        m_hostGridLayout->addWidget(card, index / 2, index % 2);
        ++index;
    };
    for (HostStatusCard *card : std::as_const(m_hostCards))
        place(card);
    for (EmptyHostCard *card : std::as_const(m_emptyCards))
        place(card);
    m_hostGrid->setVisible(!hosts.isEmpty());
    m_statusCards->setVisible(hosts.isEmpty());
}

void DashboardTab::renderStatusCards()
{
    const QString remote = m_syncManager->remoteHostname();
    m_localCard->setTitle(localized(m_locManager, "Dieser Mac", "This Mac"));
    m_localCard->setSubtitle(localized(m_locManager, "Letztes Dock-Update", "Last Dock update"));
    m_localCard->setValue(m_syncManager->lastSyncLocal());
    m_remoteCard->setTitle(remote == QStringLiteral("—") ? localized(m_locManager, "Anderer Mac", "Other Mac")
                                                         : remote);
    m_remoteCard->setSubtitle(localized(m_locManager, "Letzter Sync", "Last sync"));
    m_remoteCard->setValue(m_syncManager->lastSyncRemote());
}

void DashboardTab::renderDaemon()
{
    const bool running = m_syncManager->daemonRunning();
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
}

void DashboardTab::renderInterval()
{
    const int hours = m_syncManager->intervalHours();
    m_stepper->setValue(hours);
    m_stepper->setLabelText(hours == 1 ? localized(m_locManager, "1 Stunde", "1 hour")
                                       : QString::number(hours) + localized(m_locManager, " Stunden", " hours"));
}

void DashboardTab::renderSyncing()
{
    const bool syncing = m_syncManager->isSyncing();
    for (SyncButton *button : {m_push, m_pull, m_auto})
        button->setLoading(syncing);
}

void DashboardTab::renderStatusMessage()
{
    const QString message = syncStatusText(m_syncManager->syncStatus(), m_locManager);
    m_statusFade->stop();
    m_statusFade->setStartValue(m_statusOpacity->opacity());
    if (message.isEmpty()) {
        // The old text stays while it fades out.
        m_statusFade->setEndValue(0.0);
    } else {
        m_statusMessage->setText(message);
        m_statusMessage->show();
        m_statusFade->setEndValue(1.0);
    }
    m_statusFade->start();
}

void DashboardTab::applyInterval()
{
    // A new interval takes effect when the timer starts again; while stopped there is nothing to do.
    if (!m_syncManager->daemonRunning())
        return;
    m_syncManager->stopDaemon();
    m_syncManager->startDaemon();
}
