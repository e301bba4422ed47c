#include "OnboardingView.h"

OnboardingView::OnboardingView(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager)
{
}
