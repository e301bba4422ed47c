// Stand-in declarations of the System Configuration calls Tandrill makes, written from Apple's
// documentation for the macOS compile check (tests/macos/README.md). Not Apple's header.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef const struct __SCDynamicStore *SCDynamicStoreRef;

// Returns a copy (the caller releases it), or NULL when no computer name is set.
CFStringRef SCDynamicStoreCopyComputerName(SCDynamicStoreRef store, CFStringEncoding *nameEncoding)
    API_AVAILABLE(macos(10.1));

#ifdef __cplusplus
}
#endif
