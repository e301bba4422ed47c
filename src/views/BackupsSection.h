#pragma once

#include "RoundedPanel.h"

#include <QList>
#include <QPointer>

class ElidedLabel;
class HeadingLabel;
class LocalizationManager;
class QLabel;
class QMessageBox;
class QPushButton;
class QVBoxLayout;
class SyncManager;
struct BackupInfo;

// The settings' "Backups" box: where the backups live, the ten kept ones newest first (date, what
// they were taken before, size), each with "Restore…", which asks first.
class BackupsSection : public RoundedPanel {
    Q_OBJECT

public:
    BackupsSection(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

    void redraw(); // the folder's path

private:
    void retranslate();
    void renderBackups();
    QWidget *backupRow(const BackupInfo &backup);
    QString actionName(const QString &action) const;
    QString takenText(const BackupInfo &backup) const;
    void askToRestore(const BackupInfo &backup);

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    HeadingLabel *m_heading;
    ElidedLabel *m_path;
    QLabel *m_text;
    QPushButton *m_open;
    QVBoxLayout *m_rows;
    QLabel *m_empty;
    QList<QWidget *> m_rowWidgets;
    QPointer<QMessageBox> m_restoreDialog;
};
