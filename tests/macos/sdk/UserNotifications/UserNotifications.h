// User Notifications as Tandrill uses it, from Apple's documentation (tests/macos/README.md). Not Apple's header.
#pragma once

#include <Foundation/Foundation.h>

typedef NS_OPTIONS(NSUInteger, UNAuthorizationOptions){
    UNAuthorizationOptionSound = (1 << 1),
    UNAuthorizationOptionAlert = (1 << 2),
} API_AVAILABLE(macos(10.14));

API_AVAILABLE(macos(10.14)) @interface UNNotificationSound : NSObject
@property(class, readonly, copy) UNNotificationSound *defaultSound;
@end

API_AVAILABLE(macos(10.14)) @interface UNNotificationContent : NSObject
@end

API_AVAILABLE(macos(10.14)) @interface UNMutableNotificationContent : UNNotificationContent
@property(copy) NSString *title;
@property(copy) NSString *body;
@property(copy, nullable) UNNotificationSound *sound;
@end

API_AVAILABLE(macos(10.14)) @interface UNNotificationTrigger : NSObject
@end

API_AVAILABLE(macos(10.14)) @interface UNNotificationRequest : NSObject
+ (instancetype)requestWithIdentifier:(NSString *)identifier
                              content:(UNNotificationContent *)content
                              trigger:(nullable UNNotificationTrigger *)trigger;
@end

API_AVAILABLE(macos(10.14)) @interface UNUserNotificationCenter : NSObject
+ (UNUserNotificationCenter *)currentNotificationCenter;
- (void)requestAuthorizationWithOptions:(UNAuthorizationOptions)options
                      completionHandler:(void (^)(BOOL granted, NSError *_Nullable error))completionHandler;
- (void)addNotificationRequest:(UNNotificationRequest *)request
         withCompletionHandler:(nullable void (^)(NSError *_Nullable error))completionHandler;
@end
