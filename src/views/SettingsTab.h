#pragma once

#include <QWidget>

class LocalizationManager;
class SyncManager;

class SettingsTab : public QWidget {
    Q_OBJECT

public:
    SettingsTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
};
