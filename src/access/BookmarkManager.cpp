#include "BookmarkManager.h"

#include <QSettings>

Q_LOGGING_CATEGORY(lcBookmarks, "tandrill.bookmarks")

BookmarkManager::BookmarkManager(QSettings *settings, std::unique_ptr<FolderBookmarks> platform)
    : m_settings(settings), m_platform(std::move(platform))
{}

void BookmarkManager::saveBookmark(const QString &folder)
{
    const FolderBookmarks::Created created = m_platform->create(folder);
    if (created.error.isEmpty())
        m_settings->setValue(kBookmarkKey, created.data);
    else
        qCWarning(lcBookmarks).noquote() << "Tandrill: Bookmark-Erstellung fehlgeschlagen:" << created.error;
    resolveBookmark();
}

std::optional<QString> BookmarkManager::resolveBookmark()
{
    const QByteArray data = m_settings->value(kBookmarkKey).toByteArray();
    if (data.isEmpty())
        return std::nullopt;
    QString error;
    const auto resolved = m_platform->resolve(data, &error);
    if (!resolved) {
        qCWarning(lcBookmarks).noquote() << "Tandrill: Bookmark-Auflösung fehlgeschlagen:" << error;
        return std::nullopt;
    }
    if (!m_platform->startAccessing(resolved->path)) {
        qCWarning(lcBookmarks).noquote() << "Tandrill: startAccessingSecurityScopedResource() fehlgeschlagen";
        return std::nullopt;
    }
    m_scopedURL = resolved->path;
    if (resolved->stale) {
        qCWarning(lcBookmarks).noquote() << "Tandrill: Bookmark ist stale, erneuere …";
        const FolderBookmarks::Created renewed = m_platform->create(resolved->path);
        if (renewed.error.isEmpty())
            m_settings->setValue(kBookmarkKey, renewed.data);
        else
            qCWarning(lcBookmarks).noquote() << "Tandrill: Bookmark-Erstellung fehlgeschlagen:" << renewed.error;
    }
    return resolved->path;
}

void BookmarkManager::stopAccessing()
{
    if (m_scopedURL)
        m_platform->stopAccessing(*m_scopedURL);
    m_scopedURL.reset();
}

void BookmarkManager::clearBookmark()
{
    stopAccessing();
    m_settings->remove(kBookmarkKey);
}
