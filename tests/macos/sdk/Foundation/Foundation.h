// Stand-in declarations of the Foundation classes Tandrill's Objective-C++ uses, written from
// Apple's documentation for the macOS compile check (tests/macos/README.md). Not Apple's header.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <objc/objc.h>
#include <os/availability.h>

typedef long NSInteger;
typedef unsigned long NSUInteger;

#define NS_ENUM(_type, _name)                                                                                          \
    enum _name : _type _name;                                                                                          \
    enum _name : _type

__attribute__((objc_root_class)) API_AVAILABLE(macos(10.0)) @interface NSObject
+ (instancetype)alloc;
+ (instancetype)new;
- (instancetype)init;
@end

API_AVAILABLE(macos(10.0)) @interface NSString : NSObject
@property(readonly) NSUInteger length;
@end

API_AVAILABLE(macos(10.0)) @interface NSError : NSObject
@property(readonly) NSInteger code;
@property(readonly, copy) NSString *localizedDescription;
@end
