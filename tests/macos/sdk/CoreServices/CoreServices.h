// Stand-in declarations of the Apple Event codes Tandrill reads, written from Apple's
// documentation for the macOS compile check (tests/macos/README.md). Not Apple's header.
#pragma once

#include <stdint.h>

typedef uint32_t FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode AEEventID;
typedef FourCharCode AEKeyword;

enum { kAEOpenApplication = 'oapp' };
enum { keyAEPropData = 'prdt' };
enum { keyAELaunchedAsLogInItem = 'lgit' };
