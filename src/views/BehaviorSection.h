#pragma once

#include "RoundedPanel.h"

class HeadingLabel;
class LocalizationManager;
class QLabel;
class QPushButton;
class SyncManager;
class ToggleSwitch;

// The settings' "Behavior" box: launch at login (with the hint and a way to the system settings
// when the system still waits for the user's approval or refused; disabled with the reason where
// the app cannot be a login item), one automatic sync when the app opens, background syncs as
// soon as a Dock changed, whether the Dock's look is shared too, and a note when the user turned
// Tandrill's notifications off.
class BehaviorSection : public RoundedPanel {
    Q_OBJECT

public:
    BehaviorSection(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

    // Reads both switches and asks the login item's status again.
    void redraw();

private:
    QWidget *switchRow(ToggleSwitch *toggle, QLabel *title, QLabel *subtitle);
    void retranslate();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    HeadingLabel *m_heading;
    ToggleSwitch *m_launchAtLogin;
    QLabel *m_launchTitle;
    QLabel *m_launchSubtitle;
    QWidget *m_launchRow = nullptr;
    QWidget *m_approvalHint;
    QLabel *m_approvalText;
    QPushButton *m_openLoginItems;
    ToggleSwitch *m_syncOnStart;
    QLabel *m_syncTitle;
    QLabel *m_syncSubtitle;
    QWidget *m_syncRow = nullptr;
    ToggleSwitch *m_sameLook;
    QLabel *m_sameLookTitle;
    QLabel *m_sameLookSubtitle;
    QWidget *m_sameLookRow = nullptr;
    QLabel *m_notificationsOff;
    ToggleSwitch *m_syncOnChange;
    QLabel *m_changeTitle;
    QLabel *m_changeSubtitle;
    QWidget *m_changeRow = nullptr;
};
