#include "platform/UserNotificationCenter.h"

// Linux desktops take notifications over the session bus, which the app shell speaks itself.
std::unique_ptr<UserNotificationCenter> createUserNotificationCenter()
{
    return nullptr;
}
