#pragma once

#include <QMainWindow>

#include <functional>

class ApplicationMenu;
class ContentView;
class LocalizationManager;
class QSettings;
class SyncManager;
class UpdaterManager;

// The one main window: the content view, the application menu and the window's size limits.
// Closing it hides it and the app keeps running in the tray, unless the desktop has no tray to
// bring it back from: then closing quits.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    struct Shell {
        std::function<bool()> trayAvailable;
        std::function<void()> quit;
        // Tells the user something beside the window (a notification); none: a message box.
        std::function<void(const QString &text)> tell = {};
    };

    static constexpr QLatin1StringView kGeometryKey{"TandrillWindowGeometry"};
    static constexpr QLatin1StringView kToldKeepsRunningKey{"TandrillToldKeepsRunning"};

    // `settings` (may be null) remembers the window's size and place between launches.
    MainWindow(SyncManager *syncManager, LocalizationManager *locManager, UpdaterManager *updater,
               const QString &version, Shell shell, QSettings *settings = nullptr, QWidget *parent = nullptr);

    // Large enough for the Dashboard with four Macs without scrolling, within the screen.
    QSize defaultSize() const;

    ~MainWindow() override;

    ContentView *contentView() const { return m_content; }
    ApplicationMenu *applicationMenu() const { return m_applicationMenu; }

    // Brings the window back and in front of the others.
    void present();

signals:
    void contentShown();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Return on a focused button presses it, as Space does.
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void showAbout();
    void placeOnFirstShow();
    void storeGeometry();

    SyncManager *m_syncManager;
    QSettings *m_settings;
    bool m_placed = false;
    LocalizationManager *m_locManager;
    QString m_version;
    Shell m_shell;
    ContentView *m_content;
    ApplicationMenu *m_applicationMenu;
};
