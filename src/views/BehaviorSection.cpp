#include "BehaviorSection.h"

#include "HeadingLabel.h"
#include "LocalizedText.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "ToggleSwitch.h"
#include "ViewStyle.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

BehaviorSection::BehaviorSection(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_syncManager(syncManager), m_locManager(locManager),
      m_heading(new HeadingLabel(QStringLiteral("gearshape.2"), this)), m_launchAtLogin(new ToggleSwitch(this)),
      m_launchTitle(ViewStyle::label(this, 12)), m_launchSubtitle(ViewStyle::label(this, 10)),
      m_approvalHint(new QWidget(this)), m_approvalText(ViewStyle::label(m_approvalHint, 10)),
      m_openLoginItems(new QPushButton(m_approvalHint)), m_syncOnStart(new ToggleSwitch(this)),
      m_syncTitle(ViewStyle::label(this, 12)), m_syncSubtitle(ViewStyle::label(this, 10)),
      m_sameLook(new ToggleSwitch(this)), m_sameLookTitle(ViewStyle::label(this, 12)),
      m_sameLookSubtitle(ViewStyle::label(this, 10)), m_notificationsOff(ViewStyle::label(this, 10)),
      m_syncOnChange(new ToggleSwitch(this)), m_changeTitle(ViewStyle::label(this, 12)),
      m_changeSubtitle(ViewStyle::label(this, 10))
{
    setObjectName(QStringLiteral("behaviorSection"));
    setFill(ViewStyle::groupBoxFill(this));
    setRadius(8);
    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLoginSwitch"));
    connect(m_launchAtLogin, &ToggleSwitch::clicked, m_syncManager, &SyncManager::setLaunchAtLogin);
    m_syncOnStart->setObjectName(QStringLiteral("syncOnStartSwitch"));
    connect(m_syncOnStart, &ToggleSwitch::clicked, m_syncManager, &SyncManager::setSyncOnStart);
    m_launchRow = switchRow(m_launchAtLogin, m_launchTitle, m_launchSubtitle);
    m_syncRow = switchRow(m_syncOnStart, m_syncTitle, m_syncSubtitle);
    m_syncOnChange->setObjectName(QStringLiteral("syncOnChangeSwitch"));
    connect(m_syncOnChange, &ToggleSwitch::clicked, m_syncManager, &SyncManager::setSyncOnChange);
    m_changeRow = switchRow(m_syncOnChange, m_changeTitle, m_changeSubtitle);
    m_sameLook->setObjectName(QStringLiteral("sameLookSwitch"));
    connect(m_sameLook, &ToggleSwitch::clicked, m_syncManager, &SyncManager::setSameLookOnAllMacs);
    m_sameLookRow = switchRow(m_sameLook, m_sameLookTitle, m_sameLookSubtitle);

    m_approvalHint->setObjectName(QStringLiteral("approvalHint"));
    m_approvalText->setObjectName(QStringLiteral("approvalHintText"));
    m_approvalText->setWordWrap(true);
    ViewStyle::setTextColor(m_approvalText, ViewStyle::secondaryText(this));
    auto *hintRow = new QHBoxLayout(m_approvalHint);
    hintRow->setContentsMargins(0, 0, 0, 0);
    hintRow->setSpacing(6);
    hintRow->addWidget(
        new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 11, ViewStyle::orange(), m_approvalHint));
    hintRow->addWidget(m_approvalText, 1);
    m_openLoginItems->setObjectName(QStringLiteral("openLoginItemsButton"));
    connect(m_openLoginItems, &QPushButton::clicked, m_syncManager, &SyncManager::openLoginItemSettings);
    hintRow->addWidget(m_openLoginItems);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(QStringLiteral("color: rgba(128, 128, 128, 0.3);"));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    column->setSpacing(10);
    column->addWidget(m_heading);
    column->addWidget(m_launchRow);
    column->addWidget(m_approvalHint);
    column->addWidget(divider);
    column->addWidget(m_syncRow);
    column->addWidget(m_changeRow);
    column->addWidget(m_sameLookRow);

    m_notificationsOff->setObjectName(QStringLiteral("notificationsOffHint"));
    m_notificationsOff->setWordWrap(true);
    ViewStyle::setTextColor(m_notificationsOff, ViewStyle::secondaryText(this));
    column->addWidget(m_notificationsOff);

    connect(m_syncManager, &SyncManager::launchAtLoginChanged, this, &BehaviorSection::redraw);
    connect(m_syncManager, &SyncManager::syncOnStartChanged, this, &BehaviorSection::redraw);
    connect(m_syncManager, &SyncManager::syncOnChangeChanged, this, &BehaviorSection::redraw);
    connect(m_syncManager, &SyncManager::sameLookOnAllMacsChanged, this, &BehaviorSection::redraw);
    connect(m_syncManager, &SyncManager::notificationsRefusedChanged, this, &BehaviorSection::redraw);
    connect(m_locManager, &LocalizationManager::langChanged, this, &BehaviorSection::retranslate);
    retranslate();
    redraw();
}

QWidget *BehaviorSection::switchRow(ToggleSwitch *toggle, QLabel *title, QLabel *subtitle)
{
    auto *row = new QWidget(this);
    title->setParent(row);
    subtitle->setParent(row);
    toggle->setParent(row);
    subtitle->setWordWrap(true);
    ViewStyle::setTextColor(subtitle, ViewStyle::secondaryText(this));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(title);
    texts->addWidget(subtitle);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addLayout(texts, 1);
    layout->addWidget(toggle, 0, Qt::AlignVCenter);
    return row;
}

void BehaviorSection::redraw()
{
    m_launchAtLogin->setChecked(m_syncManager->launchAtLogin());
    m_launchAtLogin->setEnabled(m_syncManager->loginItemAvailable());
    m_syncOnStart->setChecked(m_syncManager->syncOnStart());
    m_sameLook->setChecked(m_syncManager->sameLookOnAllMacs());
    m_syncOnChange->setChecked(m_syncManager->syncOnChange());
    // Asked on every draw: the user may approve or refuse in the system settings at any time.
    // One hint beside the switch: why it is disabled, the system's refusal, or the approval it awaits.
    using Availability = LoginItem::Availability;
    const bool approval = m_syncManager->loginItemRequiresApproval();
    const QString refusal = m_syncManager->loginItemError();
    QString hint;
    switch (m_syncManager->loginItemAvailability()) {
    case Availability::NotABundle:
        hint = localized(m_locManager, "Nicht verfügbar: Tandrill läuft nicht aus seinem App-Bundle (Tandrill.app).",
                         "Not available: Tandrill is not running from its app bundle (Tandrill.app).");
        break;
    case Availability::Translocated:
        hint = localized(m_locManager,
                         "Nicht verfügbar: macOS führt Tandrill aus einer abgeschotteten Kopie aus (heruntergeladen "
                         "und nicht verschoben). Ziehe Tandrill in den Ordner „Programme“ und öffne es dort.",
                         "Not available: macOS runs Tandrill from a quarantined copy (downloaded and not moved). "
                         "Move Tandrill to the Applications folder and open it from there.");
        break;
    case Availability::OutsideApplications:
        hint = localized(m_locManager,
                         "Nicht verfügbar: Tandrill liegt nicht im Ordner „Programme“. Ziehe es dorthin und öffne "
                         "es von dort.",
                         "Not available: Tandrill is not in the Applications folder. Move it there and open it "
                         "from there.");
        break;
    case Availability::Available:
        if (!refusal.isEmpty())
            hint =
                localized(m_locManager, "macOS hat das Anmeldeobjekt abgelehnt: ", "macOS refused the login item: ") +
                refusal;
        else if (approval)
            hint = localized(m_locManager, "Bitte in Systemeinstellungen → Allgemein → Anmeldeobjekte bestätigen.",
                             "Please confirm in System Settings → General → Login Items.");
        break;
    }
    m_approvalText->setText(hint);
    m_approvalHint->setVisible(!hint.isEmpty());
    m_openLoginItems->setVisible(m_syncManager->canOpenLoginItemSettings() && (approval || !refusal.isEmpty()));
    m_notificationsOff->setVisible(m_syncManager->notificationsRefused());
}

void BehaviorSection::retranslate()
{
    m_heading->setText(localized(m_locManager, "Verhalten", "Behavior"));
    m_launchTitle->setText(localized(m_locManager, "Beim Systemstart öffnen", "Launch at Login"));
    m_launchSubtitle->setText(localized(m_locManager, "Tandrill automatisch starten wenn du dich anmeldest",
                                        "Automatically launch Tandrill when you log in"));
    const QString launchTip = localized(m_locManager, "Tandrill als Anmeldeobjekt in macOS registrieren",
                                        "Register Tandrill as a login item in macOS");
    m_launchRow->setToolTip(launchTip);
    m_openLoginItems->setText(localized(m_locManager, "Systemeinstellungen öffnen", "Open System Settings"));
    m_notificationsOff->setText(localized(
        m_locManager, "Mitteilungen für Tandrill sind ausgeschaltet: Systemeinstellungen → Mitteilungen → Tandrill.",
        "Notifications for Tandrill are turned off: System Settings → Notifications → Tandrill."));
    m_syncTitle->setText(localized(m_locManager, "Sync bei App-Start", "Sync on App Launch"));
    m_syncSubtitle->setText(localized(m_locManager, "Beim Öffnen von Tandrill automatisch einmal synchronisieren",
                                      "Automatically sync once when Tandrill opens"));
    m_syncRow->setToolTip(localized(m_locManager, "Startet beim Öffnen einen automatischen Sync-Durchlauf",
                                    "Runs an auto sync when the app opens"));
    m_changeTitle->setText(
        localized(m_locManager, "Sync, sobald sich etwas ändert", "Sync as soon as something changes"));
    m_changeSubtitle->setText(localized(m_locManager,
                                        "Bei aktivem Auto-Sync gleich synchronisieren, wenn sich ein Dock hier oder "
                                        "im Sync-Ordner ändert",
                                        "While Auto-Sync is active, sync right away when a Dock changes here or in "
                                        "the sync folder"));
    m_changeRow->setToolTip(localized(m_locManager,
                                      "Startet einen automatischen Sync-Durchlauf, sobald eine Änderung "
                                      "angekommen ist; das Intervall bleibt als Rückfall",
                                      "Runs an auto sync once a change has arrived; the interval stays as a fallback"));
    m_sameLookTitle->setText(localized(m_locManager, "Gleiches Aussehen auf allen Macs", "Same look on all Macs"));
    m_sameLookSubtitle->setText(
        localized(m_locManager,
                  "Aus: Größe, Vergrößerung, Position und Ausblenden des Docks bleiben auf diesem Mac, wie sie sind. "
                  "Apps und Ordner werden immer abgeglichen.",
                  "Off: the Dock's size, magnification, position and hiding stay as they are on this Mac. Apps "
                  "and folders are always synced."));
    redraw(); // the hint beside the switch is worded there
}
