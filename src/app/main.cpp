#include "AppController.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandrill"));
    QApplication::setOrganizationName(QStringLiteral("Tandrill"));
    QApplication::setApplicationVersion(AppController::version());
    QGuiApplication::setDesktopFileName(QStringLiteral("tandrill"));
    // The app lives on in the tray when its window is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    AppController controller;
    controller.showWindow();
    return QApplication::exec();
}
