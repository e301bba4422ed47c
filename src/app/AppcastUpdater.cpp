#include "AppcastUpdater.h"

#include "AppLog.h"
#include "Appcast.h"
#include "UpdatePresenter.h"
#include "VersionComparator.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

AppcastUpdater::AppcastUpdater(QUrl feed, QString currentVersion, UpdatePresenter *presenter, QObject *parent)
    : UpdaterManager(parent), m_feed(std::move(feed)), m_currentVersion(std::move(currentVersion)),
      m_presenter(presenter)
{
    setCanCheckForUpdates(m_feed.isValid() && !m_feed.isEmpty());
}

AppcastUpdater::~AppcastUpdater()
{
    if (m_reply)
        m_reply->abort();
}

void AppcastUpdater::checkForUpdates()
{
    if (!canCheckForUpdates())
        return;
    setCanCheckForUpdates(false);
    QNetworkRequest request(m_feed);
    request.setTransferTimeout(kTimeoutMilliseconds);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString(QStringLiteral("Tandrill/") + m_currentVersion));
    // Made on the first check: most runs never check, and the network stack is costly to start.
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::finished, this, [this, reply = m_reply.data()] { finish(reply); });
}

void AppcastUpdater::finish(QNetworkReply *reply)
{
    reply->deleteLater();
    UpdateCheckResult result;
    result.currentVersion = m_currentVersion;
    if (reply->error() != QNetworkReply::NoError) {
        result.error = reply->errorString();
    } else {
        QString parseError;
        const auto items = Appcast::parse(reply->readAll(), &parseError);
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
