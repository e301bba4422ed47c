#pragma once

#include "HostInfo.h"
#include "RoundedPanel.h"

class ElidedLabel;
class LocalizationManager;
class QLabel;
class SymbolView;
class SyncManager;

// One Mac of the sync folder on the dashboard: its name (the display name above the host name
// when one is set), the "This Mac" tag, its last action and when it happened.
class HostStatusCard : public RoundedPanel {
    Q_OBJECT

public:
    HostStatusCard(const HostInfo &host, SyncManager *syncManager, LocalizationManager *locManager,
                   QWidget *parent = nullptr);

    void setHost(const HostInfo &host);
    const HostInfo &host() const { return m_host; }

private:
    void render();

    HostInfo m_host;
    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    SymbolView *m_machine;
    ElidedLabel *m_displayName;
    ElidedLabel *m_hostname;
    RoundedPanel *m_thisMacTag;
    QLabel *m_thisMacText;
    SymbolView *m_actionIcon;
    QLabel *m_actionLabel;
    ElidedLabel *m_lastTime;
};
