// Loaded with LD_PRELOAD into a Qt application by bench/measure_app.sh. When the application
// object is created it queues a call; that call runs on the event loop's first turn, after the
// window went up, and quits TANDRILL_QUIT_AFTER_MS later. With 0 the run ends as soon as the app is
// started, which is what start-up time means here; with several seconds it shows idle memory.
// With TANDRILL_QUIT_RSS_FILE set, the resident set size the app holds when it is about to quit
// (VmRSS, in KiB) is written to that file: what the idle app keeps, where the maximum resident set
// size that time(1) reports is the peak of the whole run. With TANDRILL_QUIT_SMAPS_FILE set, the
// process's memory map with the size of every mapping (/proc/self/smaps) is copied there at the same
// moment, for bench/compare_smaps.py to tell where the memory went.

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

namespace {

QByteArray residentKibibytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    // readAll, as /proc files report a size of 0.
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0);
    }
    return {};
}

void writeResidentSize()
{
    const QString path = qEnvironmentVariable("TANDRILL_QUIT_RSS_FILE");
    QFile file(path);
    if (!path.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(residentKibibytes() + '\n');

    const QString smapsPath = qEnvironmentVariable("TANDRILL_QUIT_SMAPS_FILE");
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    QFile copy(smapsPath);
    if (!smapsPath.isEmpty() && smaps.open(QIODevice::ReadOnly) &&
        copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
        copy.write(smaps.readAll());
}

void quitAfterDelay()
{
    bool ok = false;
    const int delay = qEnvironmentVariableIntValue("TANDRILL_QUIT_AFTER_MS", &ok);
    QCoreApplication *app = QCoreApplication::instance();
    if (!ok || delay < 0 || !app)
        return;
    // Whoever quits (this timer, or the bare app's own), the size is read as the event loop ends,
    // before anything is torn down.
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, &writeResidentSize);
    QMetaObject::invokeMethod(
        app, [app, delay] { QTimer::singleShot(delay, app, &QCoreApplication::quit); }, Qt::QueuedConnection);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(quitAfterDelay)
