#include "AppcastUpdater.h"

#include "AppLog.h"
#include "Appcast.h"
#include "UpdateNetworkModule.h"
#include "UpdatePresenter.h"
#include "VersionComparator.h"

#include <QTimer>

AppcastUpdater::AppcastUpdater(QUrl feed, QString currentVersion, UpdatePresenter *presenter, QObject *parent,
                               FetcherSource fetcherSource)
    : UpdaterManager(parent), m_feed(std::move(feed)), m_currentVersion(std::move(currentVersion)),
      m_presenter(presenter),
      m_fetcherSource(fetcherSource ? std::move(fetcherSource) : FetcherSource(&UpdateNetworkModule::createFeedFetcher))
{
    setCanCheckForUpdates(m_feed.isValid() && !m_feed.isEmpty());
}

// Out of line: the fetcher's type is complete here.
AppcastUpdater::~AppcastUpdater() = default;

void AppcastUpdater::checkForUpdates()
{
    if (!canCheckForUpdates())
        return;
    setCanCheckForUpdates(false);
    // Made on the first check: most runs never check, and the network stack is costly to load.
    QString error;
    if (!m_fetcher)
        m_fetcher = m_fetcherSource(&error);
    if (!m_fetcher) {
        if (error.isEmpty())
            error = QStringLiteral("The updater's network part is missing.");
        // Reported like any failed check, from the event loop as a download's end would be.
        QTimer::singleShot(0, this, [this, error] { finish({{}, error}); });
        return;
    }
    m_fetcher->get(m_feed, QStringLiteral("Tandrill/") + m_currentVersion, kTimeoutMilliseconds,
                   [this](const FeedFetcher::Reply &reply) { finish(reply); });
}

void AppcastUpdater::finish(const FeedFetcher::Reply &reply)
{
    UpdateCheckResult result;
    result.currentVersion = m_currentVersion;
    if (!reply.error.isEmpty()) {
        result.error = reply.error;
    } else {
        QString parseError;
        const auto items = Appcast::parse(reply.body, &parseError);
        const auto newest = items ? Appcast::newest(*items) : std::nullopt;
        if (!items) {
            result.error = parseError;
        } else if (newest && VersionComparator::compare(newest->version, m_currentVersion) > 0) {
            result.outcome = UpdateCheckResult::Outcome::UpdateAvailable;
            result.availableVersion = newest->displayVersion;
            result.downloadPage = newest->downloadPage;
        } else {
            result.outcome = UpdateCheckResult::Outcome::UpToDate;
        }
    }
    qCDebug(lcApp) << "update check of" << m_feed << "ended:" << static_cast<int>(result.outcome) << result.error;
    setCanCheckForUpdates(true);
    if (m_presenter)
        m_presenter->present(result);
}
