// Foundation as Tandrill uses it, from Apple's documentation (tests/macos/README.md). Not Apple's header.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#include <objc/objc.h>
#include <os/availability.h>

typedef long NSInteger;
typedef unsigned long NSUInteger;

#define NS_ENUM(_type, _name)                                                                                          \
    enum _name : _type _name;                                                                                          \
    enum _name : _type
// As Apple defines it for C++: the type is the integer, so that options combine with "|".
#define NS_OPTIONS(_type, _name) _type _name; enum __attribute__((flag_enum)) : _type

__attribute__((objc_root_class)) API_AVAILABLE(macos(10.0)) @interface NSObject
+ (instancetype)alloc;
- (instancetype)init;
@end

API_AVAILABLE(macos(10.0)) @interface NSString : NSObject
@end

API_AVAILABLE(macos(10.0)) @interface NSError : NSObject
@property(readonly, copy) NSString *localizedDescription;
@end

typedef NSString *NSNotificationName;

API_AVAILABLE(macos(10.0)) @interface NSNotification : NSObject
@end

API_AVAILABLE(macos(10.5)) @interface NSOperationQueue : NSObject
@end

API_AVAILABLE(macos(10.0)) @interface NSNotificationCenter : NSObject
@property(class, readonly, strong) NSNotificationCenter *defaultCenter;
- (id)addObserverForName:(nullable NSNotificationName)name
                  object:(nullable id)obj
                   queue:(nullable NSOperationQueue *)queue
              usingBlock:(void (^)(NSNotification *notification))block API_AVAILABLE(macos(10.6));
@end

API_AVAILABLE(macos(10.8)) @interface NSUUID : NSObject
+ (instancetype)UUID;
@property(readonly, copy) NSString *UUIDString;
@end

API_AVAILABLE(macos(10.0)) @interface NSAppleEventDescriptor : NSObject
@property(readonly) AEEventID eventID;
@property(readonly) OSType enumCodeValue;
- (nullable NSAppleEventDescriptor *)paramDescriptorForKeyword:(AEKeyword)keyword;
@end

API_AVAILABLE(macos(10.0)) @interface NSAppleEventManager : NSObject
+ (NSAppleEventManager *)sharedAppleEventManager;
@property(nullable, readonly, retain) NSAppleEventDescriptor *currentAppleEvent;
@end
