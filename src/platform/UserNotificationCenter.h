#pragma once

#include <QString>

#include <functional>
#include <memory>

// The system's notification centre for apps (the User Notifications framework on macOS). It
// knows an app only by its bundle: a bare binary has none, and there is no centre. Both calls
// return at once and may come from any thread; the answer arrives on a thread of the system's.
class UserNotificationCenter {
public:
    virtual ~UserNotificationCenter() = default;
    // Asks the user to allow banners and sounds; `answer` gets whether they were allowed and the
    // system's error text, if any.
    virtual void requestAuthorization(std::function<void(bool granted, const QString &error)> answer) = 0;
    // Delivers at once, under an identifier of its own, so that no notification replaces another.
    virtual void post(const QString &title, const QString &body) = 0;
};

// None where the system has no such centre for this process (Linux; on macOS outside a bundle).
std::unique_ptr<UserNotificationCenter> createUserNotificationCenter();
