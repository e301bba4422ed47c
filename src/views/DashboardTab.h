#pragma once

#include <QWidget>

class LocalizationManager;
class SyncManager;

class DashboardTab : public QWidget {
    Q_OBJECT

public:
    DashboardTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
};
