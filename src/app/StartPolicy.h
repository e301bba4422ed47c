#pragma once

#include <QtGlobal>

#include <optional>

// Whether a start or a reopen shows the window or leaves the app in the menu bar, as a menu-bar
// utility does: a login start stays quiet, a start or reopen by the user shows the window, and
// before set-up every start opens the wizard.
namespace StartPolicy {

enum class Launch {
    ByUser,  // Finder, Spotlight, `open`, a terminal
    AtLogin, // the login item
    Unknown, // the system did not say (yet): treated as a login start; the user's activation shows the window
};

enum class Action { ShowWindow, MenuBarOnly, Nothing };

// From what the system said: true at login, false by the user, none when it could not tell.
Launch launchFrom(std::optional<bool> launchedAtLogin);

Action atStart(bool setUp, Launch launch);

// The running app became active or was opened again (on macOS a click on its Dock icon, Finder,
// a second `open`), with or without a window of its own visible (a menu or dialog counts). A
// login start may be activated as it comes up; that activation, within the first seconds, is
// part of the quiet start.
inline constexpr qint64 kLoginActivationMs = 3000;
Action onActivated(bool windowVisible, Launch launch, qint64 msSinceStart);

} // namespace StartPolicy
