#include "platform/LoginItem.h"

namespace {
constexpr int kNotKnown = 0;
constexpr int kByUser = 1;
constexpr int kAtLogin = 2;
} // namespace

std::optional<bool> loginStartFrom(const QStringList &arguments, std::optional<bool> eventSaysAtLogin)
{
    // The Linux autostart entry says so in the arguments; so may anyone who starts it by hand.
    if (arguments.contains(QLatin1String("--background")))
        return true;
    return eventSaysAtLogin;
}

int launchCode(bool atLogin)
{
    return atLogin ? kAtLogin : kByUser;
}

std::optional<bool> launchFromCode(int code)
{
    if (code == kNotKnown)
        return std::nullopt;
    return code == kAtLogin;
}
