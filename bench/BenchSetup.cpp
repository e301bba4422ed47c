#include "BenchSetup.h"

#include "TestDock.h"

#include "SafeFile.h"
#include "SharedLog.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <array>

namespace BenchSetup {
namespace {

// Every file of the benchmarks is dated from here, so runs write the same bytes.
QDateTime baseTime()
{
    return QDateTime(QDate(2025, 1, 6), QTime(9, 0), QTimeZone::utc());
}

constexpr double kDockMTime = 1'736'153'000.25;

QByteArray logMessage(int line, const QString &otherHost)
{
    // The engine's own messages, in the proportions an automatic sync every hour produces.
    static const std::array<QString, 6> kMessages{
        QStringLiteral("AUTO: Lokal=1736153000  iCloud=1736153000 (von: %1)  MeinLetzterPull=1736153000"),
        QStringLiteral("AUTO: Dock ist bereits synchron"),
        QStringLiteral("PUSH: Sende lokales Dock nach Dock Sync …"),
        QStringLiteral("PUSH: Erfolgreich hochgeladen"),
        QStringLiteral("PULL: Hole Dock-Konfiguration von Dock Sync …"),
        QStringLiteral("PULL: Dock aktualisiert und neu gestartet")};
    const QString &message = kMessages[static_cast<size_t>(line) % kMessages.size()];
    return (message.contains(QLatin1String("%1")) ? message.arg(otherHost) : message).toUtf8();
}

} // namespace

QByteArray dockBytes()
{
    // A binary property list of about 30 KB, as a well-used Dock writes it: the engine parses it
    // on every push, pull and automatic run, so its size and shape matter.
    static const QByteArray bytes = TestDock::build(TestDock::realistic());
    return bytes;
}

QByteArray logLines(int count, int first)
{
    QByteArray lines;
    for (int i = first; i < first + count; ++i) {
        const QDateTime time = baseTime().addSecs(60LL * i);
        const QString host = hostName(i % 4);
        lines += SyncFormat::logLine(time, host, QString::fromUtf8(logMessage(i, hostName((i + 1) % 4))));
    }
    return lines;
}

QByteArray statusBytes(const QString &hostname, const QString &action, int minute)
{
    return SyncFormat::statusContent(hostname, action, baseTime().addSecs(60LL * minute), 1'736'153'000);
}

QString hostName(int index)
{
    static const std::array<QString, 4> kFirst{QStringLiteral("MacBook-Pro"), QStringLiteral("iMac"),
                                               QStringLiteral("Mac-mini"), QStringLiteral("MacBook-Air")};
    if (index < static_cast<int>(kFirst.size()))
        return kFirst[static_cast<size_t>(index)];
    return QStringLiteral("Mac-%1").arg(index, 4, 10, QLatin1Char('0'));
}

void deliverFile(const QString &path, const QByteArray &bytes, double mtime)
{
    const QString temporary = path + QLatin1String(".delivering");
    writeBytes(temporary, bytes);
    if (!SafeFile::setModificationTime(temporary, mtime) || !QFile::rename(temporary, path)) {
        QFile::remove(path);
        if (!QFile::rename(temporary, path))
            qFatal("cannot deliver %s", qPrintable(path));
    }
}

} // namespace BenchSetup

using namespace BenchSetup;

BenchFolder::BenchFolder(int macs)
    : m_root(TestEnvironment::root() + QLatin1String("/folder-XXXXXX")),
      m_folder(m_root.path() + QLatin1String("/iCloud/Dock Sync")), m_mac(hostName(0), m_folder, m_root.path())
{
    if (!m_root.isValid() || !QDir().mkpath(m_folder))
        qFatal("cannot create a shared folder below %s", qPrintable(TestEnvironment::root()));

    m_mac.writeDock(dockBytes(), kDockMTime);
    if (engine().run(SyncEngine::Mode::Push).kind() != SyncEngine::Result::Kind::Pushed)
        qFatal("the first push into %s failed", qPrintable(m_folder));

    for (int i = 1; i < macs; ++i) {
        const QString host = hostName(i);
        deliverFile(m_folder + QLatin1Char('/') + SyncFormat::hostFileName(SyncFormat::kStatusPrefix, host),
                    statusBytes(host, QStringLiteral("sync"), i), kDockMTime + i);
    }

    // The push above made one backup; older ones fill up what is kept.
    for (int i = 1; i < kBackupsKept; ++i) {
        const QString name = QStringLiteral("/com.apple.dock.20250105_%1.plist").arg(i, 6, 10, QLatin1Char('0'));
        deliverFile(m_mac.backupsDirectory() + name, dockBytes(), kDockMTime - 86'400 + i);
    }
    fillLog();
}

QString BenchFolder::logPath() const
{
    return m_folder + QLatin1Char('/') + SharedLog::ownFileName(m_mac.hostname());
}

SyncEngine BenchFolder::engine()
{
    EngineServices services = m_mac.services();
    services.notices = {};
    return SyncEngine(m_folder, m_mac.hostname(), services);
}

void BenchFolder::fillLog(int first)
{
    deliverFile(logPath(), logLines(kLogLineCap, first), kDockMTime + first);
}
