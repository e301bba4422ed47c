#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
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
    // Every file the engine writes is synced to the disk, which on a busy disk costs more than the
    // rest of a test. Where the system keeps a file system in memory, the tests' files live there.
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    const QString base = memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
    g_root = std::make_unique<QTemporaryDir>(base + QLatin1String("/tandrill-test-XXXXXX"));
    const QString home = g_root->path() + QLatin1String("/home");
    const QString runtime = g_root->path() + QLatin1String("/runtime");
    const QString temporary = g_root->path() + QLatin1String("/tmp"); // where each test makes its folders
    for (const QString &path : {home, runtime, temporary})
        QDir().mkpath(path);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const auto set = [](const char *name, const QString &value) { qputenv(name, value.toUtf8()); };
    set("HOME", home);
    set("XDG_CONFIG_HOME", home + QLatin1String("/.config"));
    set("XDG_DATA_HOME", home + QLatin1String("/.local/share"));
    set("XDG_CACHE_HOME", home + QLatin1String("/.cache"));
    set("XDG_STATE_HOME", home + QLatin1String("/.local/state"));
    set("XDG_RUNTIME_DIR", runtime);
    set("TMPDIR", temporary);
    // Not UTC: a time shown in UTC where local time is meant, or the other way round, is off by
    // hours and a half here, as it would be for most users.
    set("TZ", QStringLiteral("XST-5:30"));
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
