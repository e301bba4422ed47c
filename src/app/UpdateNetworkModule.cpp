#include "UpdateNetworkModule.h"

#include "AppLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>

namespace UpdateNetworkModule {

QString path()
{
    // Relative to the executable, as the build tree, the install and the bundle lay it out alike.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QStringLiteral(TANDRILL_NETWORK_MODULE));
}

std::unique_ptr<FeedFetcher> createFeedFetcher(QString *error)
{
    QPluginLoader loader(path());
    auto *factory = qobject_cast<FeedFetcherFactory *>(loader.instance());
    if (!factory) {
        if (error)
            *error = loader.errorString();
        qCWarning(lcApp) << "the updater's network module did not load:" << loader.errorString();
        return nullptr;
    }
    return factory->createFeedFetcher();
}

} // namespace UpdateNetworkModule
