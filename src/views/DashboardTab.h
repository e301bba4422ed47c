#pragma once

#include <QList>
#include <QWidget>

class ConflictBanner;
class EmptyHostCard;
class HeadingLabel;
class HostStatusCard;
class IntervalStepper;
class LocalizationManager;
class QGraphicsOpacityEffect;
class QGridLayout;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class StatusCard;
class SyncButton;
class SyncManager;

// The first tab: every Mac of the sync folder (or two status cards before any has registered),
// the conflict banner, background auto-sync with its interval, and Push, Pull and Auto.
class DashboardTab : public QWidget {
    Q_OBJECT

public:
    DashboardTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

    QSize sizeHint() const override;

private:
    QWidget *buildAutoSyncBox();
    QWidget *buildManualSyncBox();
    QWidget *buildFolderMissingNotice(QWidget *parent);
    void retranslate();
    void renderHosts();
    void renderStatusCards();
    void renderDaemon();
    void renderInterval();
    void renderSyncing();
    void renderStatusMessage();
    void applyInterval();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;

    QWidget *m_content = nullptr;
    ConflictBanner *m_banner;
    QWidget *m_folderMissing = nullptr;
    QLabel *m_folderMissingTitle = nullptr;
    QLabel *m_folderMissingText = nullptr;
    QPushButton *m_chooseFolder = nullptr;
    QWidget *m_hostGrid;
    QGridLayout *m_hostGridLayout;
    QList<HostStatusCard *> m_hostCards;
    QList<EmptyHostCard *> m_emptyCards;
    QWidget *m_statusCards;
    StatusCard *m_localCard;
    StatusCard *m_remoteCard;

    HeadingLabel *m_autoSyncHeading = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_intervalCaption = nullptr;
    IntervalStepper *m_stepper = nullptr;
    QPushButton *m_apply = nullptr;

    HeadingLabel *m_manualSyncHeading = nullptr;
    SyncButton *m_push = nullptr;
    SyncButton *m_pull = nullptr;
    SyncButton *m_auto = nullptr;
    QLabel *m_statusMessage = nullptr;
    QGraphicsOpacityEffect *m_statusOpacity = nullptr;
    QPropertyAnimation *m_statusFade = nullptr;
};
