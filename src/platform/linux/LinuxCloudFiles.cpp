#include "platform/CloudFiles.h"

namespace {

// Linux sync services keep whole files; only the stub rule and the file checks apply.
class LinuxCloudFiles final : public CloudFiles {
public:
    State state(const QString &path) const override { return portableState(path); }
    void requestDownload(const QString &) override {}
};

} // namespace

std::unique_ptr<CloudFiles> createSystemCloudFiles()
{
    return std::make_unique<LinuxCloudFiles>();
}
