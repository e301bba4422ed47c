#pragma once

#include "RoundedPanel.h"

class LocalizationManager;
class QLabel;
class SyncManager;

// The Dashboard's note that another Mac uses this Mac's name: both write one status file and
// pass for one Mac. It says how to rename one; shown only while the shared folder shows that.
class SameNameNotice : public RoundedPanel {
    Q_OBJECT

public:
    SameNameNotice(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    void redraw();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    QLabel *m_title;
    QLabel *m_text;
};
