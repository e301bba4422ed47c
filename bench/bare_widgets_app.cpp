// The least a Qt Widgets app does: one main window shown, then an idle event loop. Tandrill's
// start-up time and idle memory are measured against it (bench/measure_app.sh). It quits
// TANDRILL_QUIT_AFTER_MS milliseconds after its event loop first runs, 2 seconds when that is unset.
// With TANDRILL_BARE_LABEL=1 the window shows one line of text, which is what loads the fonts:
// a second reference point between "a window" and "a window full of text".

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Qt Widgets app"));
    if (qEnvironmentVariableIntValue("TANDRILL_BARE_LABEL") == 1)
        window.setCentralWidget(new QLabel(QStringLiteral("Dock synchron auf allen Macs"), &window));
    window.resize(900, 600);
    window.show();

    bool ok = false;
    const int delay = qEnvironmentVariableIntValue("TANDRILL_QUIT_AFTER_MS", &ok);
    // Counted from the event loop's first turn, as bench/QuitAfter.cpp does for the app.
    QMetaObject::invokeMethod(
        &app,
        [&app, delay = ok && delay >= 0 ? delay : 2000] { QTimer::singleShot(delay, &app, &QCoreApplication::quit); },
        Qt::QueuedConnection);
    return QApplication::exec();
}
