#pragma once

#include <QMessageBox>

class LocalizationManager;
class SyncManager;
struct DockDifference;

// Asks before a Pull the user started replaces a Dock that differs: lists what changes and which
// shared apps are not installed here. The window's Pull and the tray's share it.
class PullConfirmation : public QMessageBox {
    Q_OBJECT

public:
    // Pulls at once when the Docks are the same or nothing is known yet; otherwise asks first
    // and pulls only on "Pull". Without a parent the dialog stands alone (the tray's case).
    static void pullAfterAsking(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent);

    PullConfirmation(const DockDifference &difference, LocalizationManager *locManager, QWidget *parent = nullptr);

    QPushButton *pullButton() const { return m_pull; }

private:
    QPushButton *m_pull;
};
