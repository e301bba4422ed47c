#pragma once

#include "SystemNotifier.h"

#include <QObject>

// Notifications as messages of the tray item (QSystemTrayIcon::showMessage). Qt's tray item
// belongs to the GUI thread, while the engine sends from its worker: a send from another thread
// is queued to the thread this object lives on and shown there, in order. A send never waits.
class TrayNotifier : public QObject, public SystemNotifier {
    Q_OBJECT

public:
    // Create on the GUI thread.
    explicit TrayNotifier(TrayPresenter presenter, QObject *parent = nullptr);

    void send(const QString &body, const QString &title) override;

private:
    TrayPresenter m_presenter;
};
