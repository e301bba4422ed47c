#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Opening the app when the user logs in: the main-app login item on macOS, an XDG autostart
// entry on Linux.
class LoginItem {
public:
    enum class Status { NotRegistered, Enabled, RequiresApproval, NotFound };

    virtual ~LoginItem() = default;
    virtual Status status() const = 0;
    virtual bool registerItem() = 0;   // false when the system refused
    virtual bool unregisterItem() = 0; // false when the system refused

    // Whether this copy of the app can become a login item at all, and why not, so that the switch
    // is shown disabled with the reason instead of failing silently. On macOS it has to run from
    // its bundle, from an Applications folder: a downloaded app run where it lies is translocated
    // (quarantine), and the system refuses it.
    enum class Availability { Available, NotABundle, Translocated, OutsideApplications };
    virtual Availability availability() const { return Availability::Available; }
    bool isAvailable() const { return availability() == Availability::Available; }
    // The system's message for the last refused registration or removal; empty when none was.
    virtual QString lastError() const { return {}; }
    // The system's own list of login items, where the user approves an item waiting for it.
    virtual bool canOpenSystemSettings() const { return false; }
    virtual void openSystemSettings() {}
};

std::unique_ptr<LoginItem> createSystemLoginItem();

// Whether this process was started as the login item: "--background" among the arguments (the
// Linux autostart entry passes it), or on macOS the launch's Apple event marked as a login-item
// launch. None when the system has not said (yet): on macOS it tells once the launch has finished.
std::optional<bool> launchedAsLoginItem(const QStringList &arguments);

// The same from what the system said: the arguments, and on macOS the launch's Apple event (none
// until it is known). The event's answer is kept in an int across threads: 0 not known yet.
std::optional<bool> loginStartFrom(const QStringList &arguments, std::optional<bool> eventSaysAtLogin);
int launchCode(bool atLogin);
std::optional<bool> launchFromCode(int code);
