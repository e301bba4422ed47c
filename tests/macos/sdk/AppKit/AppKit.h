// Stand-in declarations of the AppKit names Tandrill uses, written from Apple's documentation
// for the macOS compile check (tests/macos/README.md). Not Apple's header.
#pragma once

#include <Foundation/Foundation.h>

extern NSNotificationName const NSApplicationDidFinishLaunchingNotification API_AVAILABLE(macos(10.0));
