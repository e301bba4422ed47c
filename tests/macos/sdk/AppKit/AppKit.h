// AppKit as Tandrill uses it, from Apple's documentation (tests/macos/README.md). Not Apple's header.
#pragma once

#include <Foundation/Foundation.h>

extern NSNotificationName const NSApplicationDidFinishLaunchingNotification API_AVAILABLE(macos(10.0));
