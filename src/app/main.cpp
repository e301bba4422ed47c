#include "AppController.h"
#include "AppStyle.h"
#include "SingleInstance.h"
#include "platform/FreedMemory.h"
#include "platform/LoginItem.h"

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

    // A login start stays in the menu bar; a start by the user shows the window (StartPolicy).
    const auto launchedAtLogin = [] { return launchedAsLoginItem(QApplication::arguments()); };
    SingleInstance instance;
    if (!instance.claim(launchedAtLogin() != true))
        return 0; // the running app shows its window instead

    AppController controller(launchedAtLogin);
    QObject::connect(&instance, &SingleInstance::showRequested, &controller, &AppController::showWindow);
    if (controller.startsWithWindow())
        controller.showWindow();
    return QApplication::exec();
}
