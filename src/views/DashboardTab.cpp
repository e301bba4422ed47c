#include "DashboardTab.h"

DashboardTab::DashboardTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager)
{
}
