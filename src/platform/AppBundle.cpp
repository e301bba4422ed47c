#include "AppBundle.h"

#include <QDir>
#include <QStringList>

bool isAppBundleExecutable(const QString &executablePath)
{
    const QStringList parts = QDir::cleanPath(executablePath).split(QLatin1Char('/'));
    // …/Name.app/Contents/MacOS/Program: the bundle needs a name besides its extension.
    if (parts.size() < 4)
        return false;
    const qsizetype n = parts.size();
    const QString &bundle = parts.at(n - 4);
    return !parts.at(n - 1).isEmpty() && parts.at(n - 2) == QLatin1String("MacOS") &&
           parts.at(n - 3) == QLatin1String("Contents") && bundle.size() > 4 &&
           bundle.endsWith(QLatin1String(".app"), Qt::CaseInsensitive);
}

BundlePlace bundlePlace(const QString &executablePath, const QString &homeDirectory)
{
    if (!isAppBundleExecutable(executablePath))
        return BundlePlace::NotABundle;
    const QString path = QDir::cleanPath(executablePath);
    if (path.split(QLatin1Char('/')).contains(QLatin1String("AppTranslocation")))
        return BundlePlace::Translocated;
    const QStringList folders{QStringLiteral("/Applications"),
                              QDir::cleanPath(homeDirectory) + QLatin1String("/Applications")};
    for (const QString &folder : folders) {
        if (path.startsWith(folder + QLatin1Char('/')))
            return BundlePlace::InApplications;
    }
    return BundlePlace::OutsideApplications;
}
