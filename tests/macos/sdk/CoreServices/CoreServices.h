// The Apple Event codes Tandrill reads, from Apple's documentation (tests/macos/README.md). Not Apple's header.
#pragma once

#include <stdint.h>

typedef uint32_t FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode AEEventID;
typedef FourCharCode AEKeyword;

enum { kAEOpenApplication = 'oapp' };
enum { keyAEPropData = 'prdt' };
enum { keyAELaunchedAsLogInItem = 'lgit' };
