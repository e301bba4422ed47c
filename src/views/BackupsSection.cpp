#include "BackupsSection.h"

#include "BackupInfo.h"
#include "DateTimeText.h"
#include "DockChangeText.h"
#include "ElidedLabel.h"
#include "HeadingLabel.h"
#include "LocalizedText.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

BackupsSection::BackupsSection(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_syncManager(syncManager), m_locManager(locManager),
      m_heading(new HeadingLabel(QStringLiteral("clock.arrow.circlepath"), this)), m_path(new ElidedLabel(this)),
      m_text(ViewStyle::label(this, 11)), m_open(new QPushButton(this)), m_rows(new QVBoxLayout),
      m_empty(ViewStyle::label(this, 11))
{
    setObjectName(QStringLiteral("backupsSection"));
    setFill(ViewStyle::groupBoxFill(this));
    m_path->setObjectName(QStringLiteral("backupPath"));
    m_path->setFont(ViewStyle::font(11, QFont::Normal, ViewStyle::Design::Monospaced));
    m_path->setElideMode(Qt::ElideMiddle);
    m_text->setWordWrap(true);
    ViewStyle::setTextColor(m_text, ViewStyle::secondaryText(this));
    m_open->setObjectName(QStringLiteral("openBackupsButton"));
    ViewStyle::makeBordered(m_open, 11);
    connect(m_open, &QPushButton::clicked, m_syncManager, &SyncManager::openBackupFolder);
    m_empty->setObjectName(QStringLiteral("noBackups"));
    ViewStyle::setTextColor(m_empty, ViewStyle::tertiaryText(this));

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_path);
    texts->addWidget(m_text);
    auto *row = new QHBoxLayout;
    row->setSpacing(12);
    row->addLayout(texts, 1);
    row->addWidget(m_open, 0, Qt::AlignVCenter);
    m_rows->setSpacing(4);
    m_rows->addWidget(m_empty);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(QMargins() + kGroupBoxPadding);
    column->setSpacing(10);
    column->addWidget(m_heading);
    column->addLayout(row);
    column->addLayout(m_rows);

    connect(m_syncManager, &SyncManager::backupsChanged, this, &BackupsSection::renderBackups);
    // A restore waits for no sync: it is not offered while one runs.
    connect(m_syncManager, &SyncManager::isSyncingChanged, this, &BackupsSection::renderBackups);
    connect(m_locManager, &LocalizationManager::langChanged, this, &BackupsSection::retranslate);
    retranslate();
    redraw();
}

void BackupsSection::redraw()
{
    m_path->setText(ViewStyle::abbreviatedPath(m_syncManager->backupFolderURL()));
}

void BackupsSection::retranslate()
{
    m_heading->setText(QStringLiteral("Backups"));
    m_text->setText(localized(m_locManager,
                              "Vor jedem Sync wird die aktuelle Dock-Konfiguration gesichert. Die letzten 10 "
                              "Backups werden aufbewahrt.",
                              "Before each sync the current Dock configuration is backed up. The last 10 "
                              "backups are kept."));
    m_open->setText(localized(m_locManager, "Öffnen", "Open"));
    m_open->setToolTip(localized(m_locManager, "Backup-Ordner im Finder öffnen", "Open backup folder in Finder"));
    m_empty->setText(localized(m_locManager, "Noch keine Backups.", "No backups yet."));
    renderBackups();
}

QString BackupsSection::actionName(const QString &action) const
{
    if (action == QLatin1String("push"))
        return localized(m_locManager, "vor Push", "before push");
    if (action == QLatin1String("pull"))
        return localized(m_locManager, "vor Pull", "before pull");
    if (action == QLatin1String("restore"))
        return localized(m_locManager, "vor Wiederherstellung", "before restore");
    return action;
}

QString BackupsSection::takenText(const BackupInfo &backup) const
{
    return dateTimeText(m_locManager, backup.taken.toLocalTime());
}

QWidget *BackupsSection::backupRow(const BackupInfo &backup)
{
    auto *row = new QWidget(this);
    row->setObjectName(QStringLiteral("backupRow"));
    QLabel *taken = ViewStyle::label(row, 11, QFont::Medium);
    taken->setText(takenText(backup));
    QLabel *details = ViewStyle::label(row, 10);
    ViewStyle::setTextColor(details, ViewStyle::secondaryText(this));
    details->setText(actionName(backup.action) + QStringLiteral(" · ") +
                     interfaceLocale(m_locManager).formattedDataSize(backup.size));
    auto *restore = new QPushButton(localized(m_locManager, "Wiederherstellen…", "Restore…"), row);
    restore->setObjectName(QStringLiteral("restoreBackupButton"));
    ViewStyle::makeBordered(restore, 11);
    restore->setToolTip(
        localized(m_locManager, "Dieses Dock auf diesem Mac wiederherstellen", "Bring this Dock back on this Mac"));
    restore->setEnabled(!m_syncManager->isSyncing());
    connect(restore, &QPushButton::clicked, this, [this, backup] { askToRestore(backup); });
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(taken);
    layout->addWidget(details, 1);
    layout->addWidget(restore);
    return row;
}

void BackupsSection::renderBackups()
{
    qDeleteAll(m_rowWidgets);
    m_rowWidgets.clear();
    const QList<BackupInfo> backups = m_syncManager->backups();
    for (const BackupInfo &backup : backups) {
        QWidget *row = backupRow(backup);
        m_rows->addWidget(row);
        m_rowWidgets.append(row);
    }
    m_empty->setVisible(backups.isEmpty());
}

void BackupsSection::askToRestore(const BackupInfo &backup)
{
    if (m_restoreDialog)
        return;
    auto *dialog = new QMessageBox(this);
    m_restoreDialog = dialog;
    dialog->setObjectName(QStringLiteral("restoreDialog"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QString title = localized(m_locManager, "Backup wiederherstellen?", "Restore this backup?");
    dialog->setWindowTitle(title);
    dialog->setTextFormat(Qt::PlainText);
    dialog->setText(title);
    const QString explanation =
        localized(m_locManager, "Das Dock vom ", "The Dock from ") + takenText(backup) +
        localized(m_locManager,
                  " ersetzt das Dock dieses Macs; das aktuelle Dock wird vorher gesichert. Das wiederhergestellte "
                  "Dock ist eine lokale Änderung: Der nächste automatische Sync teilt es mit den anderen Macs.",
                  " replaces this Mac's Dock; the current Dock is backed up first. The restored Dock is a local "
                  "change: the next automatic sync shares it with the other Macs.");
    dialog->setInformativeText(explanation);
    // What would change comes from a read off this thread; the question is open meanwhile.
    m_syncManager->inspectBackup(backup.name, [dialog = QPointer<QMessageBox>(dialog), explanation,
                                               loc = m_locManager](const DockDifference &d) {
        if (!dialog || d.result == DockDifference::Result::NothingShared)
            return;
        QStringList lines{explanation, QString()};
        if (d.result == DockDifference::Result::Same)
            lines << localized(loc, "Es ist dasselbe Dock wie jetzt.", "It is the same Dock as now.");
        for (const QString &line : DockChangeText::details(d, loc))
            lines << QStringLiteral("• ") + line;
        dialog->setInformativeText(lines.join(QLatin1Char('\n')));
    });
    QPushButton *restore =
        dialog->addButton(localized(m_locManager, "Wiederherstellen", "Restore"), QMessageBox::AcceptRole);
    restore->setObjectName(QStringLiteral("confirmRestoreButton"));
    QPushButton *cancel = dialog->addButton(localized(m_locManager, "Abbrechen", "Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelRestoreButton"));
    dialog->setDefaultButton(cancel);
    dialog->setEscapeButton(cancel);
    QPointer<SyncManager> mgr(m_syncManager);
    connect(dialog, &QMessageBox::finished, this, [dialog, restore, mgr, name = backup.name] {
        if (dialog->clickedButton() == restore && mgr)
            mgr->restoreBackup(name);
    });
    dialog->open();
}
