#pragma once

#include <memory>

// Opening the app when the user logs in: the main-app login item on macOS, an XDG autostart
// entry on Linux.
class LoginItem {
public:
    enum class Status { NotRegistered, Enabled, RequiresApproval, NotFound };

    virtual ~LoginItem() = default;
    virtual Status status() const = 0;
    virtual bool registerItem() = 0;   // false when the system refused
    virtual bool unregisterItem() = 0; // false when the system refused

    // False when this copy of the app cannot become a login item at all (on macOS: it does not
    // run from its app bundle), so that the switch is shown disabled instead of failing silently.
    virtual bool isAvailable() const { return true; }
    // The system's own list of login items, where the user approves an item waiting for it.
    virtual bool canOpenSystemSettings() const { return false; }
    virtual void openSystemSettings() {}
};

std::unique_ptr<LoginItem> createSystemLoginItem();
