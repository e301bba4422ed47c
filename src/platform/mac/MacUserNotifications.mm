#include "platform/AppBundle.h"
#include "platform/UserNotificationCenter.h"

#include <QCoreApplication>

#import <Foundation/Foundation.h>
#import <UserNotifications/UserNotifications.h>

namespace {

// UNUserNotificationCenter throws for a process without a bundle; createUserNotificationCenter
// hands out none there.
class MacUserNotificationCenter final : public UserNotificationCenter {
public:
    void requestAuthorization(std::function<void(bool, const QString &)> answer) override
    {
        [UNUserNotificationCenter.currentNotificationCenter
            requestAuthorizationWithOptions:(UNAuthorizationOptionAlert | UNAuthorizationOptionSound)
                          completionHandler:^(BOOL granted, NSError *error) {
                            answer(granted, error ? QString::fromNSString(error.localizedDescription) : QString());
                          }];
    }

    void post(const QString &title, const QString &body) override
    {
        UNMutableNotificationContent *content = [[UNMutableNotificationContent alloc] init];
        content.title = title.toNSString();
        content.body = body.toNSString();
        content.sound = UNNotificationSound.defaultSound;
        UNNotificationRequest *request = [UNNotificationRequest requestWithIdentifier:NSUUID.UUID.UUIDString
                                                                              content:content
                                                                              trigger:nil];
        [UNUserNotificationCenter.currentNotificationCenter addNotificationRequest:request withCompletionHandler:nil];
    }
};

} // namespace

std::unique_ptr<UserNotificationCenter> createUserNotificationCenter()
{
    if (!isAppBundleExecutable(QCoreApplication::applicationFilePath()))
        return nullptr;
    return std::make_unique<MacUserNotificationCenter>();
}
