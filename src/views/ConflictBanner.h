#pragma once

#include "RoundedPanel.h"

class LocalizationManager;
class QLabel;
class QPushButton;
class SyncManager;

// Shown above the Macs while this Mac's conflict marker exists: who shared the other Dock when,
// what differs, and the way out: keep this Mac's Dock (push), use the shared one (pull), or ignore
// (the marker is removed without syncing).
class ConflictBanner : public RoundedPanel {
    Q_OBJECT

public:
    ConflictBanner(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    QPushButton *button(const char *objectName);
    void retranslate();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    QLabel *m_title;
    QLabel *m_message;
    QPushButton *m_keep;
    QPushButton *m_useShared;
    QPushButton *m_dismiss;
};
