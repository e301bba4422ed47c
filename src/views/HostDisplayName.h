#pragma once

#include "SyncManager.h"

#include <optional>

// How a Mac is named on screen: the display name the user gave it, else its host name.
namespace HostDisplayName {

inline std::optional<QString> customName(const HostNameMap &names, const QString &hostname)
{
    const auto it = names.constFind(hostname);
    return it == names.cend() ? std::nullopt : std::optional<QString>(*it);
}

inline QString of(const HostNameMap &names, const QString &hostname)
{
    return customName(names, hostname).value_or(hostname);
}

} // namespace HostDisplayName
