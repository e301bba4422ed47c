#include "StartPolicy.h"

namespace StartPolicy {

Launch launchFrom(std::optional<bool> launchedAtLogin)
{
    if (!launchedAtLogin)
        return Launch::Unknown;
    return *launchedAtLogin ? Launch::AtLogin : Launch::ByUser;
}

Action atStart(bool setUp, Launch launch)
{
    if (!setUp)
        return Action::ShowWindow; // the wizard
    return launch == Launch::ByUser ? Action::ShowWindow : Action::MenuBarOnly;
}

Action onActivated(bool windowVisible, Launch launch, qint64 msSinceStart)
{
    if (windowVisible)
        return Action::Nothing;
    if (launch == Launch::AtLogin && msSinceStart < kLoginActivationMs)
        return Action::Nothing;
    return Action::ShowWindow;
}

} // namespace StartPolicy
