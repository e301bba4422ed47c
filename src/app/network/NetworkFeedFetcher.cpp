// The updater's network part, built as a module of its own and loaded on the first update check
// (UpdateNetworkModule): the only code of the app that links Qt Network.

#include "NetworkFeedFetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>

namespace {

class NetworkFeedFetcher : public FeedFetcher {
public:
    ~NetworkFeedFetcher() override
    {
        if (m_reply) {
            // Abandoned: aborting would otherwise report the download as finished.
            QObject::disconnect(m_reply, nullptr, nullptr, nullptr);
            m_reply->abort();
            m_reply->deleteLater();
        }
    }

    void get(const QUrl &url, const QString &userAgent, int timeoutMilliseconds, Done done) override
    {
        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMilliseconds);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
        QNetworkReply *reply = m_network.get(request);
        m_reply = reply;
        QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, done = std::move(done)] {
            reply->deleteLater();
            if (m_reply == reply)
                m_reply = nullptr;
            Reply result;
            if (reply->error() == QNetworkReply::NoError)
                result.body = reply->readAll();
            else
                result.error = reply->errorString();
            done(result);
        });
    }

private:
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
};

} // namespace

std::unique_ptr<FeedFetcher> NetworkFeedFetcherFactory::createFeedFetcher()
{
    return std::make_unique<NetworkFeedFetcher>();
}
