#include "SyncFolderSection.h"

#include "ElidedLabel.h"
#include "FolderProbe.h"
#include "HeadingLabel.h"
#include "LocalizedText.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SyncFolderSection::SyncFolderSection(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_syncManager(syncManager), m_locManager(locManager), m_probe(new FolderProbe({}, this)),
      m_heading(new HeadingLabel(QStringLiteral("folder.badge.gearshape"), this)), m_path(new ElidedLabel),
      m_check(new QWidget(this)), m_checkIcon(new SymbolView(QString(), 12, ViewStyle::green(), m_check)),
      m_checkText(ViewStyle::label(m_check, 11)), m_note(ViewStyle::label(this, 11)), m_change(new QPushButton(this))
{
    setObjectName(QStringLiteral("syncFolderSection"));
    setFill(ViewStyle::groupBoxFill(this));
    setRadius(8);

    auto *pathBox = new RoundedPanel(this);
    pathBox->setObjectName(QStringLiteral("syncFolderPathBox"));
    pathBox->setFill(ViewStyle::controlBackground(this));
    pathBox->setStroke(ViewStyle::withOpacity(ViewStyle::secondaryText(this), 0.2));
    pathBox->setRadius(8);
    m_path->setParent(pathBox);
    m_path->setObjectName(QStringLiteral("syncFolderPath"));
    m_path->setFont(ViewStyle::font(11, QFont::Normal, ViewStyle::Design::Monospaced));
    m_path->setElideMode(Qt::ElideMiddle);
    auto *pathRow = new QHBoxLayout(pathBox);
    pathRow->setContentsMargins(10, 10, 10, 10);
    pathRow->setSpacing(8);
    pathRow->addWidget(new SymbolView(QStringLiteral("icloud.fill"), 13, ViewStyle::blue(), pathBox));
    pathRow->addWidget(m_path, 1);

    m_check->setObjectName(QStringLiteral("folderCheck"));
    m_checkIcon->setObjectName(QStringLiteral("folderCheckIcon"));
    m_checkText->setObjectName(QStringLiteral("folderCheckText"));
    auto *checkRow = new QHBoxLayout(m_check);
    checkRow->setContentsMargins(0, 0, 0, 0);
    checkRow->setSpacing(6);
    checkRow->addWidget(m_checkIcon);
    checkRow->addWidget(m_checkText, 1);
    m_check->hide(); // until the first answer

    auto *noteBox = new RoundedPanel(this);
    noteBox->setFill(ViewStyle::withOpacity(ViewStyle::blue(), 0.05));
    noteBox->setRadius(8);
    m_note->setParent(noteBox);
    m_note->setObjectName(QStringLiteral("syncFolderNote"));
    m_note->setWordWrap(true);
    ViewStyle::setTextColor(m_note, ViewStyle::secondaryText(this));
    auto *noteRow = new QHBoxLayout(noteBox);
    noteRow->setContentsMargins(10, 10, 10, 10);
    noteRow->setSpacing(8);
    noteRow->addWidget(new SymbolView(QStringLiteral("info.circle"), 12, ViewStyle::blue(), noteBox), 0, Qt::AlignTop);
    noteRow->addWidget(m_note, 1);

    m_change->setObjectName(QStringLiteral("changeFolderButton"));
    ViewStyle::makeBordered(m_change, 11);
    connect(m_change, &QPushButton::clicked, this, &SyncFolderSection::changeFolderRequested);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(QMargins() + RoundedPanel::kGroupBoxPadding);
    column->setSpacing(10);
    column->addWidget(m_heading);
    column->addWidget(pathBox);
    column->addWidget(m_check);
    column->addWidget(noteBox);
    column->addWidget(m_change, 0, Qt::AlignLeft);

    connect(m_probe, &FolderProbe::checked, this, &SyncFolderSection::showCheck);
    connect(m_locManager, &LocalizationManager::langChanged, this, &SyncFolderSection::retranslate);
    retranslate();
    redraw();
}

void SyncFolderSection::redraw()
{
    const QString path = m_syncManager->syncFolderPath();
    m_path->setText(ViewStyle::abbreviatedPath(path));
    m_probe->check(path);
}

void SyncFolderSection::showCheck(const QString &path, bool exists)
{
    if (path != m_syncManager->syncFolderPath())
        return; // an answer about a folder no longer shown; the newer one is on its way
    m_hasAnswer = true;
    m_exists = exists;
    m_checkIcon->setSymbol(exists ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("xmark.circle.fill"));
    m_checkIcon->setColor(exists ? ViewStyle::green() : ViewStyle::red());
    ViewStyle::setTextColor(m_checkText, exists ? ViewStyle::secondaryText(this) : ViewStyle::red());
    m_check->show();
    retranslate();
}

void SyncFolderSection::retranslate()
{
    m_heading->setText(localized(m_locManager, "Sync-Ordner (iCloud)", "Sync Folder (iCloud)"));
    if (m_hasAnswer) {
        m_checkText->setText(m_exists ? localized(m_locManager, "Ordner vorhanden ✓", "Folder found ✓")
                                      : localized(m_locManager, "Ordner nicht gefunden — iCloud aktiv?",
                                                  "Folder not found — is iCloud active?"));
    }
    ViewStyle::setEmphasizedText(
        m_note, localized(m_locManager,
                          "**Wichtig:** Auf allen Macs muss hier derselbe iCloud-Ordner eingestellt sein. Bis zu 4 "
                          "Macs werden dann automatisch erkannt.",
                          "**Important:** All Macs must use the same iCloud folder here. Up to 4 Macs will then be "
                          "detected automatically."));
    m_change->setText(localized(m_locManager, "Ordner ändern…", "Change Folder…"));
    m_change->setToolTip(localized(m_locManager, "Einen anderen iCloud-Ordner als Sync-Basis wählen",
                                   "Choose a different iCloud folder as the sync base"));
}
