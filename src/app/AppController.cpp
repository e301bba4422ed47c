#include "AppController.h"

#include "AppLog.h"
#include "AppcastUpdater.h"
#include "BookmarkManager.h"
#include "CheckedDockPreferences.h"
#include "MainWindow.h"
#include "MenuBarController.h"
#include "Scheduler.h"
#include "SyncManager.h"
#include "platform/CloudFiles.h"
#include "platform/DockPreferences.h"
#include "platform/FreedMemory.h"
#include "platform/HostName.h"
#include "platform/LoginItem.h"
#include "platform/MachineIdentity.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QMutexLocker>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWindow>

#include <algorithm>

namespace {
// Long enough for the first refresh of the window to have come and gone.
constexpr int kSettleMilliseconds = 1000;
// At the latest this long after the window was shown, the tray item is made.
constexpr int kTrayAfterWindowMilliseconds = 500;

void openUrl(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}
} // namespace

AppController::AppController(LoginLaunchProbe launchedAtLogin, QObject *parent)
    : QObject(parent), m_settings(QStringLiteral("Tandrill"), QStringLiteral("Tandrill")),
      m_launchedAtLogin(std::move(launchedAtLogin)),
      m_notifications(createSystemNotifier(
          [this](const QString &title, const QString &body) { showTrayMessage(title, body); },
          [this] {
              QMetaObject::invokeMethod(
                  this, [this] { m_syncManager->setNotificationsRefused(true); }, Qt::QueuedConnection);
          })),
      m_dockPreferences(
          createCheckedDockPreferences(createSystemDockPreferences(EngineServices::forCurrentUser().homeDirectory),
                                       DockRestartWatch::system(&relaunchedDockProcesses))),
      m_cloudFiles(createSystemCloudFiles()),
      m_bookmarks(std::make_unique<BookmarkManager>(&m_settings, createSystemFolderBookmarks())),
      m_loginItem(createSystemLoginItem()), m_folderPicker(&m_locManager), m_scheduler(createQtScheduler()),
      m_locManager(&m_settings), m_updateDialog(&m_locManager, &openUrl)
{
    m_noticeLanguage = m_locManager.lang();
    connect(&m_locManager, &LocalizationManager::langChanged, this, [this](const QString &lang) {
        const QMutexLocker lock(&m_noticeLanguageMutex);
        m_noticeLanguage = lang;
    });
    m_updater =
        std::make_unique<AppcastUpdater>(QUrl(QStringLiteral(TANDRILL_APPCAST_URL)), version(), &m_updateDialog);

    CoordinatorServices services;
    services.settings = &m_settings;
    services.hostName = &systemHostName;
    services.engine = EngineServices::forCurrentUser();
    // Notices come from the engine's worker thread; they are worded in the language of that moment.
    services.engine.notices = noticesTo(m_notifications.get(), [this] {
        const QMutexLocker lock(&m_noticeLanguageMutex);
        return m_noticeLanguage;
    });
    services.engine.dockPreferences = m_dockPreferences.get();
    services.engine.cloudFiles = m_cloudFiles.get();
    services.engine.machine = machineIdentity();
    services.bookmarks = m_bookmarks.get();
    services.loginItem = m_loginItem.get();
    services.folderPicker = &m_folderPicker;
    services.openFolder = [](const QString &folder) { openUrl(QUrl::fromLocalFile(folder)); };
    services.scheduler = m_scheduler.get();
    m_syncManager = std::make_unique<SyncManager>(std::move(services));

    m_sinceStart.start();
    m_launch = m_launchedAtLogin ? StartPolicy::launchFrom(m_launchedAtLogin()) : StartPolicy::Launch::ByUser;
    m_startsWithWindow =
        StartPolicy::atStart(m_syncManager->isOnboardingComplete(), m_launch) == StartPolicy::Action::ShowWindow;
    if (!m_startsWithWindow)
        ensureTray();
    // macOS reports a click on the Dock icon or a second `open` only as the app becoming active.
    if (auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                onActivated();
        });
    }

    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMilliseconds);
    connect(&m_settleTimer, &QTimer::timeout, this, &returnFreedMemory);
    settleSoon();
}

void AppController::settleSoon()
{
    m_settleTimer.start();
}

MainWindow *AppController::window()
{
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(
            m_syncManager.get(), &m_locManager, m_updater.get(), version(),
            MainWindow::Shell{[] { return QSystemTrayIcon::isSystemTrayAvailable(); }, [this] { quit(); },
                              [this](const QString &text) { m_notifications->send(text, QString(kNoticeTitle)); }},
            &m_settings);
        m_folderPicker.setParentWindow(m_window.get());
        m_updateDialog.setParentWindow(m_window.get());
        connect(m_window.get(), &MainWindow::contentShown, this, &AppController::onContentShown);
    }
    return m_window.get();
}

void AppController::ensureTray()
{
    if (m_menuBar)
        return;
    m_menuBar = std::make_unique<MenuBarController>(
        m_syncManager.get(), &m_locManager,
        MenuBarController::WindowActions{[this] { showWindow(); }, [this] { quit(); }});
}

AppController::~AppController()
{
    // The tray item and the window go before the coordinator they show.
    m_menuBar.reset();
    m_window.reset();
}

QString AppController::version()
{
    return QStringLiteral(TANDRILL_VERSION);
}

void AppController::showWindow()
{
    window()->present();
}

void AppController::onActivated()
{
    if (m_launch == StartPolicy::Launch::Unknown && m_launchedAtLogin)
        m_launch = StartPolicy::launchFrom(m_launchedAtLogin());
    // Any window counts: an open menu or dialog is what activated the app, not a reopen.
    const QWindowList windows = QGuiApplication::topLevelWindows();
    const bool visible = std::any_of(windows.begin(), windows.end(), [](const QWindow *window) {
        return window->isVisible() && window->visibility() != QWindow::Minimized;
    });
    if (StartPolicy::onActivated(visible, m_launch, m_sinceStart.elapsed()) == StartPolicy::Action::ShowWindow)
        showWindow();
}

void AppController::onContentShown()
{
    // The tray item is no part of the window's first frame: it is made once that frame is painted
    // (or a moment later, should no paint come).
    if (!m_menuBar && m_window) {
        m_window->installEventFilter(this);
        QTimer::singleShot(kTrayAfterWindowMilliseconds, this, &AppController::ensureTray);
    }
    settleSoon();
}

bool AppController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && m_window && watched == m_window.get()) {
        m_window->removeEventFilter(this);
        QMetaObject::invokeMethod(this, &AppController::ensureTray, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void AppController::showTrayMessage(const QString &title, const QString &body)
{
    // A result is never dropped for want of a tray item: one is made, and a hidden one still posts.
    ensureTray();
    m_menuBar->trayIcon()->showMessage(title, body, QSystemTrayIcon::Information);
}

void AppController::quit()
{
    QCoreApplication::quit();
}
