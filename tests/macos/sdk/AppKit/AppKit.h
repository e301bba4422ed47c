// Stand-in declarations of the AppKit classes Tandrill's Objective-C++ uses, written from Apple's
// documentation for the macOS compile check (tests/macos/README.md). Not Apple's header.
#pragma once

#include <Foundation/Foundation.h>

API_AVAILABLE(macos(10.6)) @interface NSRunningApplication : NSObject
+ (NSArray<NSRunningApplication *> *)runningApplicationsWithBundleIdentifier:(NSString *)bundleIdentifier;
- (BOOL)terminate;
@end
