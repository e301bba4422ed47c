#include "platform/DockRestarter.h"

#import <AppKit/AppKit.h>

namespace {

class MacDockRestarter final : public DockRestarter {
public:
    void restartDock() override
    {
        @autoreleasepool {
            // launchd starts the Dock again at once; the new process reads the replaced file.
            for (NSRunningApplication *app in [NSRunningApplication runningApplicationsWithBundleIdentifier:@"com.apple.dock"])
                [app terminate];
        }
    }
};

} // namespace

std::unique_ptr<DockRestarter> createSystemDockRestarter()
{
    return std::make_unique<MacDockRestarter>();
}
