#include "platform/CloudFiles.h"

#include <QProcess>

#include <sys/stat.h>

namespace {

// Since macOS 14 an evicted iCloud file keeps its name and is marked dataless; reading it would
// block while it downloads. The flag is read with stat, which never fetches anything.
class MacCloudFiles final : public CloudFiles {
public:
    State state(const QString &path) const override
    {
        struct stat status {};
        return stateFromFlags(path, ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_flags : 0,
                              SF_DATALESS);
    }

    void requestDownload(const QString &path) override
    {
        // brctl asks the iCloud daemon to fetch the file and returns; the next run finds it there.
        QProcess::startDetached(QStringLiteral("/usr/bin/brctl"), {QStringLiteral("download"), path});
    }
};

} // namespace

std::unique_ptr<CloudFiles> createSystemCloudFiles()
{
    return std::make_unique<MacCloudFiles>();
}
