#pragma once

#include "UpdaterManager.h"

#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class UpdatePresenter;

// The updater for systems without Sparkle: a user-started check of an appcast feed whose
// address is set when the app is built. Without a feed no check is possible.
class AppcastUpdater : public UpdaterManager {
    Q_OBJECT

public:
    static constexpr int kTimeoutMilliseconds = 20000;

    AppcastUpdater(QUrl feed, QString currentVersion, UpdatePresenter *presenter, QObject *parent = nullptr);
    ~AppcastUpdater() override;

    QUrl feed() const { return m_feed; }
    void checkForUpdates() override;

private:
    void finish(QNetworkReply *reply);

    QUrl m_feed;
    QString m_currentVersion;
    UpdatePresenter *m_presenter;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
};
