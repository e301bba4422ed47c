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

@protocol NSObject
- (BOOL)isEqual:(id)object;
@end

__attribute__((objc_root_class)) API_AVAILABLE(macos(10.0)) @interface NSObject <NSObject>
+ (instancetype)alloc;
+ (instancetype)new;
- (instancetype)init;
@end

typedef struct {
    unsigned long state;
    id __unsafe_unretained *itemsPtr;
    unsigned long *mutationsPtr;
    unsigned long extra[5];
} NSFastEnumerationState;

@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState *)state
                                  objects:(id __unsafe_unretained[])buffer
                                    count:(NSUInteger)len;
@end

API_AVAILABLE(macos(10.0)) @interface NSString : NSObject
@property(readonly) NSUInteger length;
@end

API_AVAILABLE(macos(10.0)) @interface NSArray<__covariant ObjectType> : NSObject <NSFastEnumeration>
@property(readonly) NSUInteger count;
@end

API_AVAILABLE(macos(10.0)) @interface NSError : NSObject
@property(readonly) NSInteger code;
@property(readonly, copy) NSString *localizedDescription;
@end
