#pragma once

#include "RoundedPanel.h"

class LocalizationManager;
class QLabel;
class QPushButton;
class SyncManager;

// Shown above the Macs while this Mac's conflict marker exists; Dismiss removes the marker
// without syncing.
class ConflictBanner : public RoundedPanel {
    Q_OBJECT

public:
    ConflictBanner(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    void retranslate();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    QLabel *m_title;
    QLabel *m_message;
    QPushButton *m_dismiss;
};
