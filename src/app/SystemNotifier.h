#pragma once

#include "platform/Notifier.h"

#include <atomic>
#include <functional>
#include <memory>

// A notifier of the running app. The permission is asked at most once per run: when the window
// first shows, or by the first notification if that comes earlier. Neither notifier posts
// differently without it; the flags are only recorded.
class SystemNotifier : public Notifier {
public:
    void requestPermission();
    bool permissionRequested() const { return m_permissionRequested; }
    bool permissionGranted() const { return m_permissionGranted; }
    int permissionRequests() const { return m_permissionRequests; }

protected:
    // Neither the session bus nor a tray item asks the user; the system does that on its own.
    virtual bool askPermission() { return true; }

private:
    std::atomic<bool> m_permissionRequested{false};
    std::atomic<bool> m_permissionGranted{false};
    std::atomic<int> m_permissionRequests{0};
};

// Shows one message through the tray item; called on the GUI thread.
using TrayPresenter = std::function<void(const QString &title, const QString &body)>;

// The system's notification centre where this process has one (macOS, from the bundle; `refused`
// hears when the user does not allow notifications), else the session bus (Linux) or the tray item.
std::unique_ptr<SystemNotifier> createSystemNotifier(TrayPresenter trayPresenter, std::function<void()> refused = {});
