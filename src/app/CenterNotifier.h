#pragma once

#include "SystemNotifier.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class UserNotificationCenter;

// Notifications through the system's notification centre (macOS, an app run from its bundle).
// The user is asked once, by the first notification; a refusal is logged once and reported to
// `refused` (on the system's thread). Notifications are posted whatever the answer: the system
// drops them itself while they are not allowed, and shows them again once the user allows them.
class CenterNotifier final : public SystemNotifier {
public:
    CenterNotifier(std::unique_ptr<UserNotificationCenter> center, std::function<void()> refused);
    ~CenterNotifier() override;

    void send(const QString &body, const QString &title) override;
    bool refused() const { return m_answer->refused; }

protected:
    bool askPermission() override;

private:
    // Shared with the system's answer, which may arrive after this notifier is gone.
    struct Answer {
        std::function<void()> onRefused;
        std::atomic<bool> refused{false};
    };
    std::unique_ptr<UserNotificationCenter> m_center;
    std::shared_ptr<Answer> m_answer = std::make_shared<Answer>();
};
