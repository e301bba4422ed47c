#pragma once

#include "FeedFetcher.h"
#include "UpdaterManager.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class UpdatePresenter;

// The updater for systems without Sparkle: a user-started check of an appcast feed whose
// address is set when the app is built. Without a feed no check is possible.
class AppcastUpdater : public UpdaterManager {
    Q_OBJECT

public:
    static constexpr int kTimeoutMilliseconds = 20000;

    // Makes the fetcher on the first check; null, with the reason, when there is none.
    using FetcherSource = std::function<std::unique_ptr<FeedFetcher>(QString *error)>;

    // Without a source the fetcher comes from the network module (UpdateNetworkModule).
    AppcastUpdater(QUrl feed, QString currentVersion, UpdatePresenter *presenter, QObject *parent = nullptr,
                   FetcherSource fetcherSource = {});
    ~AppcastUpdater() override;

    QUrl feed() const { return m_feed; }
    void checkForUpdates() override;

private:
    void finish(const FeedFetcher::Reply &reply);

    QUrl m_feed;
    QString m_currentVersion;
    UpdatePresenter *m_presenter;
    FetcherSource m_fetcherSource;
    std::unique_ptr<FeedFetcher> m_fetcher;
};
