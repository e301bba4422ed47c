#include "platform/AppBundle.h"
#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

namespace {

Q_LOGGING_CATEGORY(lcLoginItem, "tandrill.loginitem")

// The app bundle itself as a login item (macOS 13 and later). SMAppService knows only bundles:
// a binary started from a build folder is not offered as one.
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
        const bool done = [[SMAppService mainAppService] registerAndReturnError:&error];
        if (!done)
            logFailure("register", error);
        return done;
    }

    bool unregisterItem() override
    {
        if (!isAvailable())
            return false;
        NSError *error = nil;
        const bool done = [[SMAppService mainAppService] unregisterAndReturnError:&error];
        if (!done)
            logFailure("unregister", error);
        return done;
    }

    bool isAvailable() const override { return isAppBundleExecutable(QCoreApplication::applicationFilePath()); }
    bool canOpenSystemSettings() const override { return true; }
    void openSystemSettings() override { [SMAppService openSystemSettingsLoginItems]; }

private:
    static void logFailure(const char *operation, NSError *error)
    {
        qCWarning(lcLoginItem).noquote() << "Tandrill: login item" << operation << "failed:"
                                         << (error ? QString::fromNSString(error.localizedDescription)
                                                   : QStringLiteral("no reason given"));
    }
};

} // namespace

std::unique_ptr<LoginItem> createSystemLoginItem()
{
    return std::make_unique<MacLoginItem>();
}
