#include "platform/AppBundle.h"
#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>

#include <atomic>

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

namespace {

Q_LOGGING_CATEGORY(lcLoginItem, "tandrill.loginitem")

// The launch's "open application" Apple event says whether the login item started the app; it is
// current while the launch finishes. Watched from before main, as Qt finishes the launch in its
// event loop. Coded by launchCode(); 0 until then.
std::atomic<int> g_launch{0};

const struct LaunchWatch {
    LaunchWatch()
    {
        [NSNotificationCenter.defaultCenter addObserverForName:NSApplicationDidFinishLaunchingNotification
                                                        object:nil
                                                         queue:nil
                                                    usingBlock:^(NSNotification *) {
                                                      NSAppleEventDescriptor *event =
                                                          NSAppleEventManager.sharedAppleEventManager.currentAppleEvent;
                                                      const bool atLogin =
                                                          event.eventID == kAEOpenApplication &&
                                                          [event paramDescriptorForKeyword:keyAEPropData].enumCodeValue ==
                                                              keyAELaunchedAsLogInItem;
                                                      g_launch = launchCode(atLogin);
                                                    }];
    }
} g_launchWatch;

// The app bundle itself as a login item (macOS 13 and later). SMAppService knows only bundles,
// and refuses a translocated one ("Operation not permitted").
class MacLoginItem final : public LoginItem {
public:
    Status status() const override
    {
        if (!isAvailable())
            return Status::NotFound;
        switch ([SMAppService mainAppService].status) {
        case SMAppServiceStatusEnabled:
            return Status::Enabled;
        case SMAppServiceStatusRequiresApproval:
            return Status::RequiresApproval;
        case SMAppServiceStatusNotFound:
            return Status::NotFound;
        case SMAppServiceStatusNotRegistered:
            break;
        }
        return Status::NotRegistered;
    }

    bool registerItem() override
    {
        if (!isAvailable())
            return false;
        NSError *error = nil;
        return done([[SMAppService mainAppService] registerAndReturnError:&error], "register", error);
    }

    bool unregisterItem() override
    {
        if (!isAvailable())
            return false;
        NSError *error = nil;
        return done([[SMAppService mainAppService] unregisterAndReturnError:&error], "unregister", error);
    }

    Availability availability() const override
    {
        switch (bundlePlace(QCoreApplication::applicationFilePath(), QDir::homePath())) {
        case BundlePlace::NotABundle:
            return Availability::NotABundle;
        case BundlePlace::Translocated:
            return Availability::Translocated;
        case BundlePlace::OutsideApplications:
            return Availability::OutsideApplications;
        case BundlePlace::InApplications:
            break;
        }
        return Availability::Available;
    }
    QString lastError() const override { return m_lastError; }
    bool canOpenSystemSettings() const override { return true; }
    void openSystemSettings() override { [SMAppService openSystemSettingsLoginItems]; }

private:
    bool done(bool succeeded, const char *operation, NSError *error)
    {
        m_lastError.clear();
        if (succeeded)
            return true;
        m_lastError = error ? QString::fromNSString(error.localizedDescription) : QStringLiteral("?");
        qCWarning(lcLoginItem).noquote() << "Tandrill: login item" << operation << "failed:" << m_lastError;
        return false;
    }

    QString m_lastError;
};

} // namespace

std::unique_ptr<LoginItem> createSystemLoginItem()
{
    return std::make_unique<MacLoginItem>();
}

std::optional<bool> launchedAsLoginItem(const QStringList &arguments)
{
    return loginStartFrom(arguments, launchFromCode(g_launch));
}
