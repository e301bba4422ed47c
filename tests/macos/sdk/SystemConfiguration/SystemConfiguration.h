// System Configuration as Tandrill uses it, from Apple's documentation (tests/macos/README.md). Not Apple's header.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

extern "C" {

typedef const struct __SCDynamicStore *SCDynamicStoreRef;

// Returns a copy (the caller releases it), or NULL when no computer name is set.
CFStringRef SCDynamicStoreCopyComputerName(SCDynamicStoreRef store, CFStringEncoding *nameEncoding)
    API_AVAILABLE(macos(10.1));
}
