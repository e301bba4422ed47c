#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class BackupsSection;
class BehaviorSection;
class InfoRow;
class LocalizationManager;
class MacNamesSection;
class QLabel;
class QMessageBox;
class QPushButton;
class SyncFolderSection;
class SyncManager;

// The third tab: sync folder, behaviour switches, backups, Mac names, reset and information.
// It owns the two confirmations (change of folder, reset) and the flows behind them.
class SettingsTab : public QWidget {
    Q_OBJECT

public:
    SettingsTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildReset();
    QWidget *buildInfo();
    void retranslate();
    void redraw();
    void renderInfo();
    void askToChangeFolder();
    void chooseNewFolder();
    void askToReset();
    QMessageBox *confirmation(const QString &objectName, const QString &title, const QString &message);

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    bool m_showChangeConfirm = false;
    bool m_showResetConfirm = false;
    QPointer<QMessageBox> m_changeDialog;
    QPointer<QMessageBox> m_resetDialog;

    SyncFolderSection *m_syncFolder;
    BehaviorSection *m_behavior;
    BackupsSection *m_backups;
    MacNamesSection *m_macNames;
    QLabel *m_resetTitle = nullptr;
    QLabel *m_resetText = nullptr;
    QPushButton *m_reset = nullptr;
    QList<InfoRow *> m_infoRows;
};
