#pragma once

#include "DialogFolderPicker.h"
#include "LocalizationManager.h"
#include "QtTranslations.h"
#include "StartPolicy.h"
#include "SystemNotifier.h"
#include "UpdateDialog.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class BookmarkManager;
class CloudFiles;
class DockPreferences;
class LoginItem;
class MainWindow;
class MenuBarController;
class Scheduler;
class SyncManager;
class UpdaterManager;

// The running app: it owns the coordinator, the language and the updater for the life of the
// process, wires the system's services into them, and hands them to the window and the tray
// item through their constructors. The window is built when it is first shown; the tray item
// comes to life with it, or at once when the app starts in the tray only (StartPolicy).
class AppController : public QObject {
    Q_OBJECT

public:
    // Whether the system started this process at login; true, false, or none when it cannot tell
    // (yet). Asked at the start and again when the app is activated while that was unknown.
    using LoginLaunchProbe = std::function<std::optional<bool>()>;

    explicit AppController(LoginLaunchProbe launchedAtLogin = {}, QObject *parent = nullptr);
    ~AppController() override;

    // What the start shows: the window (set up by main once the event loop can run) or the tray only.
    bool startsWithWindow() const { return m_startsWithWindow; }
    void showWindow();
    // The app became active: on macOS also a click on its Dock icon or a second `open` of the
    // running app. With no window shown, the window comes back (StartPolicy).
    void onActivated();

    // The main window, built on first use; hasWindow() tells whether it exists yet.
    MainWindow *window();
    bool hasWindow() const { return m_window != nullptr; }
    MenuBarController *menuBarController() const { return m_menuBar.get(); }
    SyncManager *syncManager() const { return m_syncManager.get(); }
    LocalizationManager *localization() { return &m_locManager; }
    UpdaterManager *updater() const { return m_updater.get(); }
    SystemNotifier &notifications() { return *m_notifications; }

    static QString version();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onContentShown();
    void ensureTray();
    void quit();
    void showTrayMessage(const QString &title, const QString &body);
    void settleSoon();

    QSettings m_settings;
    LoginLaunchProbe m_launchedAtLogin;
    StartPolicy::Launch m_launch = StartPolicy::Launch::ByUser;
    QElapsedTimer m_sinceStart;
    bool m_startsWithWindow = true;
    // Once the start or the window's first build has settled, what they freed goes back to the
    // system (returnFreedMemory).
    QTimer m_settleTimer;
    std::unique_ptr<SystemNotifier> m_notifications;
    // The engine words its notices on its worker thread, in the language it reads from here; both
    // outlive the coordinator, whose end waits for the engine's last job.
    QMutex m_noticeLanguageMutex;
    QString m_noticeLanguage;
    std::unique_ptr<DockPreferences> m_dockPreferences;
    std::unique_ptr<CloudFiles> m_cloudFiles;
    std::unique_ptr<BookmarkManager> m_bookmarks;
    std::unique_ptr<LoginItem> m_loginItem;
    DialogFolderPicker m_folderPicker;
    std::unique_ptr<Scheduler> m_scheduler;
    LocalizationManager m_locManager;
    QtTranslations m_qtTranslations{&m_locManager};
    UpdateDialog m_updateDialog;
    std::unique_ptr<UpdaterManager> m_updater;
    std::unique_ptr<SyncManager> m_syncManager;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MenuBarController> m_menuBar;
};
