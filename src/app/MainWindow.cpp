#include "MainWindow.h"

#include "ApplicationMenu.h"
#include "ContentView.h"
#include "LocalizationManager.h"
#include "SyncManager.h"
#include "TandrillIcon.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>

MainWindow::MainWindow(SyncManager *syncManager, LocalizationManager *locManager, UpdaterManager *updater,
                       const QString &version, Shell shell, QSettings *settings, QWidget *parent)
    : QMainWindow(parent), m_syncManager(syncManager), m_settings(settings), m_locManager(locManager),
      m_version(version), m_shell(std::move(shell)), m_content(new ContentView(syncManager, locManager, version, this)),
      m_applicationMenu(nullptr)
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

    // ⌘W on a Mac, Ctrl+W (and the desktop's own close keys) elsewhere.
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    if (const QKeySequence controlW(Qt::CTRL | Qt::Key_W); !closeKeys.contains(controlW))
        closeKeys.append(controlW);
    auto *closeAction = new QAction(this);
    closeAction->setObjectName(QStringLiteral("closeWindowAction"));
    closeAction->setShortcuts(closeKeys);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);
}

MainWindow::~MainWindow()
{
    // Quitting from the tray ends the app with the window still open.
    if (isVisible())
        storeGeometry();
}

QSize MainWindow::defaultSize() const
{
    QSize wanted = sizeHint().expandedTo(minimumSizeHint());
    if (const QScreen *display = screen()) {
        const QSize available = display->availableGeometry().size();
        wanted = wanted.boundedTo(available - QSize(40, 40));
    }
    return wanted;
}

void MainWindow::placeOnFirstShow()
{
    if (m_placed)
        return;
    m_placed = true;
    const QByteArray stored = m_settings ? m_settings->value(kGeometryKey).toByteArray() : QByteArray();
    if (stored.isEmpty() || !restoreGeometry(stored))
        resize(defaultSize());
}

void MainWindow::storeGeometry()
{
    if (m_settings && m_placed)
        m_settings->setValue(kGeometryKey, saveGeometry());
}

void MainWindow::hideEvent(QHideEvent *event)
{
    storeGeometry();
    // A closed or minimised window reads nothing on its own: only changes do.
    if (m_syncManager)
        m_syncManager->setWindowVisible(false);
    QMainWindow::hideEvent(event);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_syncManager)
        m_syncManager->setWindowVisible(true);
}

void MainWindow::present()
{
    placeOnFirstShow();
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    storeGeometry();
    event->accept();
    if (!m_shell.trayAvailable || !m_shell.trayAvailable()) {
        if (m_shell.quit)
            m_shell.quit();
        return;
    }
    // Once only: a closed window is not a quit app, and background sync goes on.
    if (m_settings && !m_settings->value(kToldKeepsRunningKey, false).toBool()) {
        m_settings->setValue(kToldKeepsRunningKey, true);
        const QString text = m_locManager
                                 ? m_locManager->pick(QStringLiteral("Tandrill läuft in der Menüleiste weiter und "
                                                                     "synchronisiert im Hintergrund. Beenden kannst du "
                                                                     "es dort in seinem Menü."),
                                                      QStringLiteral("Tandrill keeps running in the menu bar and syncs "
                                                                     "in the background. You can quit it from its menu "
                                                                     "there."))
                                 : QString();
        if (m_shell.tell) {
            m_shell.tell(text);
        } else {
            auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Tandrill"), text, QMessageBox::Ok);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->show();
        }
    }
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Buttons ignore Return outside dialogs; it reaches the window, which presses the focused one.
    const bool returnKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto *button = qobject_cast<QAbstractButton *>(QApplication::focusWidget());
    if (returnKey && event->modifiers() == Qt::NoModifier && button && button->isEnabled() &&
        button->window() == this) {
        button->animateClick();
        return;
    }
    QMainWindow::keyPressEvent(event);
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
