#pragma once

#include "platform/FolderBookmarks.h"

#include <QLoggingCategory>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

Q_DECLARE_LOGGING_CATEGORY(lcBookmarks)

// Keeps the user's sync folder reachable across launches, also after it was moved or renamed:
// a bookmark of the folder in the settings store, resolved at launch, with the folder's access
// held open while the app uses it. Diagnostics go to the system log only.
class BookmarkManager {
public:
    static constexpr QLatin1StringView kBookmarkKey{"TandrillSyncFolderBookmark"};

    BookmarkManager(QSettings *settings, std::unique_ptr<FolderBookmarks> platform);

    void saveBookmark(const QString &folder);
    std::optional<QString> resolveBookmark();
    void stopAccessing();
    void clearBookmark();

    std::optional<QString> scopedURL() const { return m_scopedURL; }

private:
    QSettings *m_settings;
    std::unique_ptr<FolderBookmarks> m_platform;
    std::optional<QString> m_scopedURL;
};
