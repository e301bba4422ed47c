#pragma once

#include "StatusMenuModel.h"

#include <QColor>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class LocalizationManager;
class MenuRowStyle;
class QMenu;
class QSystemTrayIcon;
class SyncManager;

// The tray item and its menu. Everything it shows is read from the coordinator and the language
// when it is built; one refresh path, connected to every property shown, rebuilds both, and the
// menu is built afresh whenever it opens.
class MenuBarController : public QObject {
    Q_OBJECT

public:
    struct WindowActions {
        std::function<void()> openWindow; // raise and activate the main window
        std::function<void()> quit;
    };

    MenuBarController(SyncManager *syncManager, LocalizationManager *locManager, WindowActions windowActions,
                      QObject *parent = nullptr);
    ~MenuBarController() override;

    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    QMenu *menu() const { return m_menu.get(); }
    QColor titleColor() const { return m_titleColor; }
    int rebuildCount() const { return m_rebuildCount; }

    QColor colorFor(StatusMenuRow::Tint tint) const;

    // Both run on the next turn of the event loop after a change; a burst of changes gives one.
    void updateStatusButton();
    void rebuildMenu();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void scheduleRefresh();
    void refresh();
    StatusMenuState currentState() const;
    void run(StatusMenuRow::Command command);

    QPointer<SyncManager> m_syncManager;
    QPointer<LocalizationManager> m_locManager;
    WindowActions m_windowActions;
    std::unique_ptr<MenuRowStyle> m_rowStyle;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon *m_trayIcon;
    QPointer<QObject> m_menuActions; // owns the current menu's actions
    QColor m_titleColor;
    bool m_refreshPending = false;
    int m_rebuildCount = 0;
};
