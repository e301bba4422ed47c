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
};

std::unique_ptr<LoginItem> createSystemLoginItem();
