#include "platform/LoginItem.h"

#import <ServiceManagement/ServiceManagement.h>

namespace {

// The app bundle itself as a login item (macOS 13 and later).
class MacLoginItem final : public LoginItem {
public:
    Status status() const override
    {
        switch ([SMAppService mainAppService].status) {
        case SMAppServiceStatusEnabled:
            return Status::Enabled;
        case SMAppServiceStatusRequiresApproval:
            return Status::RequiresApproval;
        case SMAppServiceStatusNotFound:
            return Status::NotFound;
        default:
            return Status::NotRegistered;
        }
    }

    bool registerItem() override { return [[SMAppService mainAppService] registerAndReturnError:nil]; }
    bool unregisterItem() override { return [[SMAppService mainAppService] unregisterAndReturnError:nil]; }
};

} // namespace

std::unique_ptr<LoginItem> createSystemLoginItem()
{
    return std::make_unique<MacLoginItem>();
}
