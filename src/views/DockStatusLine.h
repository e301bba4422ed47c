#pragma once

#include "RoundedPanel.h"

class LocalizationManager;
class QLabel;
class SymbolView;
class SyncManager;

// Above the Macs: whether this Mac's Dock matches the shared one, what a pull would change, and
// which Mac shared it when.
class DockStatusLine : public RoundedPanel {
    Q_OBJECT

public:
    DockStatusLine(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    void render();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    SymbolView *m_symbol;
    QLabel *m_text;
    QLabel *m_pushed;
};
