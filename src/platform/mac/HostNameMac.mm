#include "platform/HostName.h"

#import <Foundation/Foundation.h>

QString systemHostName()
{
    @autoreleasepool {
        NSString *name = [[NSHost currentHost] localizedName];
        if (name.length == 0)
            name = [[NSProcessInfo processInfo] hostName];
        return QString::fromNSString(name);
    }
}
