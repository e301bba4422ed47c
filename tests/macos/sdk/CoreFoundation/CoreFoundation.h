// Core Foundation as Tandrill uses it, from Apple's documentation (tests/macos/README.md). Not Apple's header.
#pragma once

#include <os/availability.h>
#include <stdint.h>

extern "C" {

typedef uint32_t CFStringEncoding;
typedef const void *CFTypeRef;
typedef const struct __CFString *CFStringRef; // the same spelling as Qt's forward declaration

void CFRelease(CFTypeRef cf) API_AVAILABLE(macos(10.0));
}
