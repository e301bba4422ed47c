#pragma once

#include "RoundedPanel.h"

#include <QList>

class HeadingLabel;
class HostNameRow;
class LocalizationManager;
class QLabel;
class QVBoxLayout;
class SyncManager;

// The settings' "Mac Names" box: this Mac always first, then every other registered Mac, each in
// a row of its own that keeps its edit state across every refresh.
class MacNamesSection : public RoundedPanel {
    Q_OBJECT

public:
    MacNamesSection(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    void retranslate();
    void renderRows();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    HeadingLabel *m_heading;
    QLabel *m_description;
    HostNameRow *m_thisMac;
    QVBoxLayout *m_otherRows;
    QList<HostNameRow *> m_others;
    QLabel *m_moreMacsHint;
};
