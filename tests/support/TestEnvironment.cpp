#include "TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> g_root;
}

namespace TestEnvironment {

void isolate()
{
    if (g_root)
        return;
    g_root = std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1String("/tandrill-test-XXXXXX"));
    const QString home = g_root->path() + QLatin1String("/home");
    const QString runtime = g_root->path() + QLatin1String("/runtime");
    QDir().mkpath(home);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const auto set = [](const char *name, const QString &value) { qputenv(name, value.toUtf8()); };
    set("HOME", home);
    set("XDG_CONFIG_HOME", home + QLatin1String("/.config"));
    set("XDG_DATA_HOME", home + QLatin1String("/.local/share"));
    set("XDG_CACHE_HOME", home + QLatin1String("/.cache"));
    set("XDG_STATE_HOME", home + QLatin1String("/.local/state"));
    set("XDG_RUNTIME_DIR", runtime);
    set("TZ", QStringLiteral("UTC"));
    // The interface language follows the system's when none is stored: the same German system
    // on every machine the tests run on.
    set("LANG", QStringLiteral("de_DE.UTF-8"));
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
}

QString root()
{
    return g_root ? g_root->path() : QString();
}

} // namespace TestEnvironment
