#include "AppController.h"
#include "AppStyle.h"
#include "SingleInstance.h"
#include "platform/FreedMemory.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    shareOneAllocatorPool();
    QApplication app(argc, argv);
    QApplication::setStyle(new AppStyle);
    QApplication::setApplicationName(QStringLiteral("Tandrill"));
    QApplication::setOrganizationName(QStringLiteral("Tandrill"));
    QApplication::setApplicationVersion(AppController::version());
    QGuiApplication::setDesktopFileName(QStringLiteral("tandrill"));
    // The app lives on in the tray when its window is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    // A login start stays in the tray; any other start shows the window.
    const bool trayOnly = QApplication::arguments().contains(QStringLiteral("--background"));
    SingleInstance instance;
    if (!instance.claim(!trayOnly))
        return 0; // the running app shows its window instead

    AppController controller(trayOnly ? AppController::StartMode::TrayOnly : AppController::StartMode::Window);
    QObject::connect(&instance, &SingleInstance::showRequested, &controller, &AppController::showWindow);
    if (!trayOnly)
        controller.showWindow();
    return QApplication::exec();
}
