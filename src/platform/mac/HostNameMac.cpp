#include "platform/HostName.h"

#include <QString>

#include <CoreFoundation/CoreFoundation.h>
#include <SystemConfiguration/SystemConfiguration.h>

#include <array>
#include <unistd.h>

namespace {

// The name set in System Settings → General → Sharing. It is read from the local configuration
// store: no network look-up that could block, and the same name on every network.
QString computerName()
{
    const CFStringRef name = SCDynamicStoreCopyComputerName(nullptr, nullptr);
    if (!name)
        return {};
    const QString result = QString::fromCFString(name);
    CFRelease(name);
    return result;
}

QString networkHostName()
{
    std::array<char, 256> buffer{};
    if (::gethostname(buffer.data(), buffer.size() - 1) != 0)
        return {};
    return QString::fromLocal8Bit(buffer.data());
}

} // namespace

QString systemHostName()
{
    const QString name = computerName();
    return name.isEmpty() ? networkHostName() : name;
}
