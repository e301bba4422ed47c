#pragma once

#include <QWidget>

class LocalizationManager;
class SyncManager;

class OnboardingView : public QWidget {
    Q_OBJECT

public:
    OnboardingView(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
};
