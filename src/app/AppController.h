#pragma once

#include "DialogFolderPicker.h"
#include "LocalizationManager.h"
#include "NotificationManager.h"
#include "UpdateDialog.h"

#include <QObject>
#include <QSettings>

#include <memory>

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
// item through their constructors. The tray item comes to life when the window first shows.
class AppController : public QObject {
    Q_OBJECT

public:
    explicit AppController(QObject *parent = nullptr);
    ~AppController() override;

    void showWindow();

    MainWindow *window() const { return m_window.get(); }
    MenuBarController *menuBarController() const { return m_menuBar.get(); }
    SyncManager *syncManager() const { return m_syncManager.get(); }
    LocalizationManager *localization() { return &m_locManager; }
    UpdaterManager *updater() const { return m_updater.get(); }
    NotificationManager &notifications() { return m_notifications; }

    static QString version();

private:
    void onContentShown();
    void quit();

    QSettings m_settings;
    NotificationManager m_notifications;
    std::unique_ptr<DockPreferences> m_dockPreferences;
    std::unique_ptr<CloudFiles> m_cloudFiles;
    std::unique_ptr<BookmarkManager> m_bookmarks;
    std::unique_ptr<LoginItem> m_loginItem;
    DialogFolderPicker m_folderPicker;
    std::unique_ptr<Scheduler> m_scheduler;
    LocalizationManager m_locManager;
    UpdateDialog m_updateDialog;
    std::unique_ptr<UpdaterManager> m_updater;
    std::unique_ptr<SyncManager> m_syncManager;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MenuBarController> m_menuBar;
};
