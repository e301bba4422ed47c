#pragma once

#include <QPalette>
#include <QPointer>
#include <QString>
#include <QWidget>

class LocalizationManager;
class QLabel;
class QTimer;
class QVBoxLayout;
class SyncManager;

// The window's root: the first-run wizard until the set-up is complete, the main view after.
// A switch cross-fades from the old content to a freshly made new one, so the wizard starts at
// its first step and the main view on the Dashboard every time.
// When the appearance changes (light to dark, say), the views' colours, derived from the palette
// they were made with, are out of date: the content is made anew in the new palette, keeping the
// tab shown, once the user is not in the middle of something there.
class ContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFadeMilliseconds = 350;
    static constexpr int kMinimumWidth = 520;
    static constexpr int kMinimumHeight = 600;
    // How often a change of appearance that had to wait looks again whether it may go ahead.
    static constexpr int kRestyleRetryMilliseconds = 500;

    ContentView(SyncManager *syncManager, LocalizationManager *locManager, QString version, QWidget *parent = nullptr);

    QWidget *currentView() const { return m_current; }
    // At least the window's minimum content size, and more when the content asks for it.
    QSize minimumSizeHint() const override;

signals:
    // Every time the content appears: at first and whenever the window is shown again.
    void shown();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showCurrentState();
    void replaceContent(bool mainView);
    void restyle();
    bool userIsBusy() const;
    void crossFadeFrom(const QPixmap &previous);

    QPointer<SyncManager> m_syncManager;
    QPointer<LocalizationManager> m_locManager;
    QString m_version;
    QVBoxLayout *m_layout;
    QPointer<QWidget> m_current;
    QPointer<QLabel> m_fadeOverlay;
    bool m_showsMainView = false;
    QPalette m_contentPalette; // the palette the content was made with
    QTimer *m_restyleTimer;
};
