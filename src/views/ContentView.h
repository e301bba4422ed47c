#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class LocalizationManager;
class QLabel;
class QVBoxLayout;
class SyncManager;

// The window's root: the first-run wizard until the set-up is complete, the main view after.
// A switch cross-fades from the old content to a freshly made new one, so the wizard starts at
// its first step and the main view on the Dashboard every time.
class ContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFadeMilliseconds = 350;
    static constexpr int kMinimumWidth = 520;
    static constexpr int kMinimumHeight = 600;

    ContentView(SyncManager *syncManager, LocalizationManager *locManager, QString version, QWidget *parent = nullptr);

    QWidget *currentView() const { return m_current; }
    // At least the window's minimum content size, and more when the content asks for it.
    QSize minimumSizeHint() const override;

signals:
    // Every time the content appears: at first and whenever the window is shown again.
    void shown();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showCurrentState();
    void crossFadeFrom(const QPixmap &previous);

    QPointer<SyncManager> m_syncManager;
    QPointer<LocalizationManager> m_locManager;
    QString m_version;
    QVBoxLayout *m_layout;
    QPointer<QWidget> m_current;
    QPointer<QLabel> m_fadeOverlay;
    bool m_showsMainView = false;
};
