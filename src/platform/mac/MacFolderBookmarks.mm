#include "platform/FolderBookmarks.h"

#import <Foundation/Foundation.h>

namespace {

QString describe(NSError *error)
{
    return error ? QString::fromNSString(error.description) : QString();
}

// Security-scoped bookmarks: they follow a folder that was moved or renamed and reopen access to
// it at every launch.
class MacFolderBookmarks final : public FolderBookmarks {
public:
    Created create(const QString &folder) const override
    {
        @autoreleasepool {
            NSError *error = nil;
            NSURL *url = [NSURL fileURLWithPath:folder.toNSString() isDirectory:YES];
            NSData *data = [url bookmarkDataWithOptions:NSURLBookmarkCreationWithSecurityScope
                         includingResourceValuesForKeys:nil
                                          relativeToURL:nil
                                                  error:&error];
            if (!data)
                return {QByteArray(), describe(error)};
            return {QByteArray::fromNSData(data), QString()};
        }
    }

    std::optional<Resolved> resolve(const QByteArray &data, QString *error) const override
    {
        @autoreleasepool {
            BOOL stale = NO;
            NSError *failure = nil;
            NSURL *url = [NSURL URLByResolvingBookmarkData:data.toNSData()
                                                   options:NSURLBookmarkResolutionWithSecurityScope
                                             relativeToURL:nil
                                       bookmarkDataIsStale:&stale
                                                     error:&failure];
            if (!url) {
                *error = describe(failure);
                return std::nullopt;
            }
            return Resolved{QString::fromNSString(url.path), stale == YES};
        }
    }

    bool startAccessing(const QString &folder) override
    {
        @autoreleasepool {
            return [[NSURL fileURLWithPath:folder.toNSString() isDirectory:YES] startAccessingSecurityScopedResource];
        }
    }

    void stopAccessing(const QString &folder) override
    {
        @autoreleasepool {
            [[NSURL fileURLWithPath:folder.toNSString() isDirectory:YES] stopAccessingSecurityScopedResource];
        }
    }
};

} // namespace

std::unique_ptr<FolderBookmarks> createSystemFolderBookmarks()
{
    return std::make_unique<MacFolderBookmarks>();
}
