#pragma once

#include <QWidget>

class LocalizationManager;
class SyncManager;

class LogTab : public QWidget {
    Q_OBJECT

public:
    LogTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
};
