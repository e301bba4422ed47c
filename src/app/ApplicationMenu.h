#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class LocalizationManager;
class QAction;
class QMenu;
class QMenuBar;
class UpdaterManager;

// The application menu: About, "Check for Updates…" right after it, and Quit. On macOS Qt moves
// the three into the app's own menu by their roles. There is no New Window item.
class ApplicationMenu : public QObject {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> about;
        std::function<void()> quit;
    };

    ApplicationMenu(QMenuBar *menuBar, LocalizationManager *locManager, UpdaterManager *updater, Actions actions);

    QMenu *menu() const { return m_menu; }
    QAction *aboutAction() const { return m_about; }
    QAction *checkForUpdatesAction() const { return m_checkForUpdates; }
    QAction *quitAction() const { return m_quit; }

private:
    void retranslate();

    QPointer<LocalizationManager> m_locManager;
    QPointer<UpdaterManager> m_updater;
    QMenu *m_menu;
    QAction *m_about;
    QAction *m_checkForUpdates;
    QAction *m_quit;
};
