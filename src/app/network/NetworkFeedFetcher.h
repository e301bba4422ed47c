#pragma once

#include "FeedFetcher.h"

#include <QObject>

// The module's root object, found by UpdateNetworkModule through Qt's plugin loader.
class NetworkFeedFetcherFactory : public QObject, public FeedFetcherFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TANDRILL_FEED_FETCHER_FACTORY_IID)
    Q_INTERFACES(FeedFetcherFactory)

public:
    std::unique_ptr<FeedFetcher> createFeedFetcher() override;
};
