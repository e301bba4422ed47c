#include "SettingsTab.h"

#include "BackupsSection.h"
#include "BehaviorSection.h"
#include "InfoRow.h"
#include "LocalizedText.h"
#include "MacNamesSection.h"
#include "RoundedPanel.h"
#include "SyncFolderSection.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
enum InfoLine { Version, AutoSync, SyncMode, MaxMacs, Interval, ThisMac, Developer, InfoLineCount };
}

SettingsTab::SettingsTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager),
      m_syncFolder(new SyncFolderSection(syncManager, locManager)),
      m_behavior(new BehaviorSection(syncManager, locManager)), m_backups(new BackupsSection(syncManager, locManager)),
      m_macNames(new MacNamesSection(syncManager, locManager))
{
    setObjectName(QStringLiteral("settingsTab"));
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("settingsContent"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    column->addWidget(m_syncFolder);
    column->addWidget(m_behavior);
    column->addWidget(m_backups);
    column->addWidget(m_macNames);
    column->addWidget(buildReset());
    column->addWidget(buildInfo());
    column->addStretch(1);
    connect(m_syncFolder, &SyncFolderSection::changeFolderRequested, this, &SettingsTab::askToChangeFolder);

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("settingsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidget(content);
    content->setAutoFillBackground(false); // setWidget turned it on
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    // The folder check and the approval hint are asked again whenever the coordinator publishes
    // anything, as often as the tab would be drawn anew.
    SyncManager *mgr = m_syncManager;
    for (auto signal :
         {&SyncManager::syncFolderPathChanged, &SyncManager::lastSyncLocalChanged, &SyncManager::lastSyncRemoteChanged,
          &SyncManager::remoteHostnameChanged, &SyncManager::statusMessageChanged})
        connect(mgr, signal, this, &SettingsTab::redraw);
    for (auto signal :
         {&SyncManager::connectedHostsChanged, &SyncManager::logLinesChanged, &SyncManager::hostCustomNamesChanged})
        connect(mgr, signal, this, &SettingsTab::redraw);
    for (auto signal :
         {&SyncManager::conflictDetectedChanged, &SyncManager::daemonRunningChanged, &SyncManager::isSyncingChanged,
          &SyncManager::launchAtLoginChanged, &SyncManager::syncOnStartChanged})
        connect(mgr, signal, this, &SettingsTab::redraw);
    connect(mgr, &SyncManager::intervalHoursChanged, this, &SettingsTab::renderInfo);
    connect(mgr, &SyncManager::daemonRunningChanged, this, &SettingsTab::renderInfo);
    connect(mgr, &SyncManager::lastSyncLocalChanged, this, &SettingsTab::renderInfo);
    connect(m_locManager, &LocalizationManager::langChanged, this, &SettingsTab::retranslate);
    retranslate();
    redraw();
}

void SettingsTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw();
}

QWidget *SettingsTab::buildReset()
{
    auto *box = RoundedPanel::groupBox();
    box->setObjectName(QStringLiteral("resetSection"));
    const QColor red = ViewStyle::withOpacity(ViewStyle::red(), 0.85);
    m_resetTitle = ViewStyle::label(box, 12, QFont::Medium);
    ViewStyle::setTextColor(m_resetTitle, red);
    m_resetText = ViewStyle::label(box, 10);
    m_resetText->setWordWrap(true);
    ViewStyle::setTextColor(m_resetText, ViewStyle::secondaryText(this));
    m_reset = new QPushButton(box);
    m_reset->setObjectName(QStringLiteral("resetButton"));
    ViewStyle::makeBordered(m_reset, 11);
    ViewStyle::setButtonTextColor(m_reset, red);
    connect(m_reset, &QPushButton::clicked, this, &SettingsTab::askToReset);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_resetTitle);
    texts->addWidget(m_resetText);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    row->setSpacing(12);
    row->addLayout(texts, 1);
    row->addWidget(m_reset, 0, Qt::AlignVCenter);
    return box;
}

QWidget *SettingsTab::buildInfo()
{
    auto *section = new QWidget;
    section->setObjectName(QStringLiteral("infoSection"));
    QLabel *title = ViewStyle::label(section, 12, QFont::DemiBold);
    title->setText(QStringLiteral("Info"));
    auto *box = RoundedPanel::groupBox(section);
    auto *rows = new QVBoxLayout(box);
    rows->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    rows->setSpacing(6);
    for (int i = 0; i < InfoLineCount; ++i) {
        auto *row = new InfoRow(box);
        rows->addWidget(row);
        m_infoRows.append(row);
    }
    auto *column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(title);
    column->addWidget(box);
    return section;
}

void SettingsTab::retranslate()
{
    m_resetTitle->setText(localized(m_locManager, "Alle Einstellungen zurücksetzen", "Reset All Settings"));
    m_resetText->setText(localized(
        m_locManager,
        "Vergisst auf diesem Mac die Wahl des Sync-Ordners, die Mac-Namen und die Einrichtung; die App beginnt mit "
        "dem Einrichtungsassistenten. Der gemeinsame Ordner und die Backups bleiben unverändert.",
        "Forgets on this Mac which sync folder was chosen, the Mac names and the set-up; the app starts over with the "
        "set-up assistant. The shared folder and the backups stay as they are."));
    m_reset->setText(localized(m_locManager, "Zurücksetzen…", "Reset…"));
    m_reset->setToolTip(localized(m_locManager, "Alle Tandrill-Einstellungen löschen und Onboarding neu starten",
                                  "Delete all Tandrill settings and restart the setup wizard"));
    renderInfo();
}

void SettingsTab::redraw()
{
    m_backups->redraw();
    if (!isVisible())
        return; // asked again when the tab is shown
    m_syncFolder->redraw();
    m_behavior->redraw();
}

void SettingsTab::renderInfo()
{
    const QString version = QCoreApplication::applicationVersion();
    const struct {
        const char *german;
        const char *english;
        QString value;
    } lines[InfoLineCount] = {
        {"Version", "Version", version.isEmpty() ? QStringLiteral("—") : version},
        {"Automatischer Sync", "Auto Sync",
         m_syncManager->daemonRunning() ? localized(m_locManager, "läuft", "running")
                                        : localized(m_locManager, "gestoppt", "stopped")},
        {"Abgleich über", "Synced through",
         localized(m_locManager, "einen gemeinsamen Ordner (iCloud Drive)", "one shared folder (iCloud Drive)")},
        {"Macs", "Macs",
         localized(m_locManager, "bis zu 4 vorgesehen, weitere willkommen", "up to 4 intended, more welcome")},
        {"Intervall", "Interval", QString::number(m_syncManager->intervalHours()) + QLatin1Char('h')},
        {"Dieser Mac", "This Mac", m_syncManager->myHostname()},
        {"Entwickler", "Developer", QStringLiteral("Brennwick")},
    };
    for (int i = 0; i < InfoLineCount; ++i) {
        m_infoRows[i]->setLabel(localized(m_locManager, lines[i].german, lines[i].english));
        m_infoRows[i]->setValue(lines[i].value);
    }
}

QMessageBox *SettingsTab::confirmation(const QString &objectName, const QString &title, const QString &message)
{
    auto *dialog = new QMessageBox(this);
    dialog->setObjectName(objectName);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    dialog->setTextFormat(Qt::PlainText);
    dialog->setText(title);
    dialog->setInformativeText(message);
    return dialog;
}

void SettingsTab::askToChangeFolder()
{
    if (m_showChangeConfirm)
        return;
    m_showChangeConfirm = true;
    QMessageBox *dialog = confirmation(
        QStringLiteral("changeFolderDialog"), localized(m_locManager, "Sync-Ordner ändern?", "Change Sync Folder?"),
        localized(m_locManager,
                  "Den neuen Ordner musst du auf allen Macs gleich einstellen, sonst verlieren sie die "
                  "Verbindung.",
                  "You must set the same folder on all Macs, otherwise they will lose their connection."));
    m_changeDialog = dialog;
    QPushButton *cancel = dialog->addButton(localized(m_locManager, "Abbrechen", "Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelChangeButton"));
    QPushButton *choose =
        dialog->addButton(localized(m_locManager, "Ordner wählen", "Choose Folder"), QMessageBox::AcceptRole);
    choose->setObjectName(QStringLiteral("chooseFolderButton"));
    dialog->setDefaultButton(choose);
    dialog->setEscapeButton(cancel);
    connect(dialog, &QMessageBox::finished, this, [this, dialog, choose] {
        m_showChangeConfirm = false;
        if (dialog->clickedButton() == choose)
            chooseNewFolder();
    });
    dialog->open();
}

void SettingsTab::chooseNewFolder()
{
    // The coordinator outlives every view; the chooser may answer after this tab is gone.
    QPointer<SyncManager> mgr(m_syncManager);
    m_syncManager->pickSyncFolder([mgr](std::optional<QString> folder) {
        SyncManager *manager = mgr.data();
        if (!manager || !folder)
            return; // cancelled: nothing changes
        manager->changeSyncFolder(*folder);
        if (manager->daemonRunning()) {
            // Restart so the timer works against the new folder.
            manager->stopDaemon();
            manager->startDaemon();
        }
    });
}

void SettingsTab::askToReset()
{
    if (m_showResetConfirm)
        return;
    m_showResetConfirm = true;
    QMessageBox *dialog = confirmation(
        QStringLiteral("resetDialog"),
        localized(m_locManager, "Alle Einstellungen zurücksetzen?", "Reset All Settings?"),
        localized(m_locManager,
                  "Tandrill vergisst auf diesem Mac den gewählten Sync-Ordner, die Mac-Namen und die Einrichtung. Der "
                  "gemeinsame Ordner mit seinem Dock und die Backups bleiben, wie sie sind.",
                  "Tandrill forgets on this Mac the chosen sync folder, the Mac names and the set-up. The shared "
                  "folder with its Dock and the backups stay as they are."));
    m_resetDialog = dialog;
    QPushButton *reset =
        dialog->addButton(localized(m_locManager, "Zurücksetzen", "Reset"), QMessageBox::DestructiveRole);
    reset->setObjectName(QStringLiteral("confirmResetButton"));
    ViewStyle::setButtonTextColor(reset, ViewStyle::red());
    QPushButton *cancel = dialog->addButton(localized(m_locManager, "Abbrechen", "Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelResetButton"));
    dialog->setDefaultButton(cancel);
    dialog->setEscapeButton(cancel);
    QPointer<SyncManager> mgr(m_syncManager);
    connect(dialog, &QMessageBox::finished, this, [this, dialog, reset, mgr] {
        m_showResetConfirm = false;
        // The reset replaces the main view, and this tab with it, by the wizard: call it last.
        if (dialog->clickedButton() == reset && mgr)
            QMetaObject::invokeMethod(mgr, &SyncManager::resetAllSettings, Qt::QueuedConnection);
    });
    dialog->open();
}
