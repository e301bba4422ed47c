// Loaded with LD_PRELOAD into a Qt application by bench/measure_app.sh. When the application
// object is created it queues a call; that call runs on the event loop's first turn, after the
// window went up, and quits TANDRILL_QUIT_AFTER_MS later. With 0 the run ends as soon as the app is
// started, which is what start-up time means here; with several seconds it shows idle memory.

#include <QCoreApplication>
#include <QTimer>

namespace {

void quitAfterDelay()
{
    bool ok = false;
    const int delay = qEnvironmentVariableIntValue("TANDRILL_QUIT_AFTER_MS", &ok);
    QCoreApplication *app = QCoreApplication::instance();
    if (!ok || delay < 0 || !app)
        return;
    QMetaObject::invokeMethod(
        app, [app, delay] { QTimer::singleShot(delay, app, &QCoreApplication::quit); }, Qt::QueuedConnection);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(quitAfterDelay)
