#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QtPlugin>

#include <functional>
#include <memory>

// One download of the small update feed. The implementation lives in a module of its own (see
// UpdateNetworkModule), so that Qt Network and the libraries it pulls in are loaded only when the
// user first checks for updates, not by every start of an app that stays in the menu bar all day.
class FeedFetcher {
public:
    struct Reply {
        QByteArray body;
        QString error; // empty when the body arrived
    };
    using Done = std::function<void(const Reply &)>;

    virtual ~FeedFetcher() = default;

    // Starts a GET of `url`. `done` runs once, later, on the calling thread; never after the
    // fetcher is destroyed (destroying it abandons the download).
    virtual void get(const QUrl &url, const QString &userAgent, int timeoutMilliseconds, Done done) = 0;
};

// The module's root object makes fetchers.
class FeedFetcherFactory {
public:
    virtual ~FeedFetcherFactory() = default;
    virtual std::unique_ptr<FeedFetcher> createFeedFetcher() = 0;
};

#define TANDRILL_FEED_FETCHER_FACTORY_IID "org.tandrill.FeedFetcherFactory/1"
Q_DECLARE_INTERFACE(FeedFetcherFactory, TANDRILL_FEED_FETCHER_FACTORY_IID)
