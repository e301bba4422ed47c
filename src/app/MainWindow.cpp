#include "MainWindow.h"

#include "ApplicationMenu.h"
#include "ContentView.h"
#include "LocalizationManager.h"
#include "TandrillIcon.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>

MainWindow::MainWindow(SyncManager *syncManager, LocalizationManager *locManager, UpdaterManager *updater,
                       const QString &version, Shell shell, QWidget *parent)
    : QMainWindow(parent), m_locManager(locManager), m_version(version), m_shell(std::move(shell)),
      m_content(new ContentView(syncManager, locManager, version, this)), m_applicationMenu(nullptr)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Tandrill"));
    setWindowIcon(TandrillIcon::icon());
    setCentralWidget(m_content);
    m_applicationMenu = new ApplicationMenu(menuBar(), locManager, updater,
                                            {[this] { showAbout(); },
                                             [this] {
                                                 if (m_shell.quit)
                                                     m_shell.quit();
                                             }});
    connect(m_content, &ContentView::shown, this, &MainWindow::contentShown);
}

void MainWindow::present()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_shell.trayAvailable || !m_shell.trayAvailable()) {
        if (m_shell.quit)
            m_shell.quit();
    }
}

void MainWindow::showAbout()
{
    const auto pick = [this](const QString &german, const QString &english) {
        return m_locManager ? m_locManager->pick(german, english) : german;
    };
    auto *box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("aboutDialog"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(pick(QStringLiteral("Über Tandrill"), QStringLiteral("About Tandrill")));
    box->setTextFormat(Qt::PlainText);
    box->setIconPixmap(TandrillIcon::pixmap(64, devicePixelRatioF()));
    box->setText(QStringLiteral("Tandrill\n") + QStringLiteral("Version ") +
                 (m_version.isEmpty() ? QStringLiteral("—") : m_version) + QStringLiteral("\n\n") +
                 pick(QStringLiteral("Dein Dock. Auf allen Macs. Immer gleich."),
                      QStringLiteral("Your Dock. On all Macs. Always in sync.")));
    box->addButton(QMessageBox::Ok);
    box->show();
}
