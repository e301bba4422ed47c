#pragma once

#include <QPointer>
#include <QWidget>

class LocalizationManager;
class QLabel;
class QTabWidget;
class SyncManager;

// The set-up app's window content: header, the Dashboard, Log and Settings tabs, and the
// version footer.
class MainView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMinimumWidth = 520;
    static constexpr int kMinimumHeight = 660;

    // An empty version shows as "—".
    MainView(SyncManager *syncManager, LocalizationManager *locManager, const QString &version,
             QWidget *parent = nullptr);

    static QString footerText(const QString &version);

private:
    void retranslate();

    QPointer<LocalizationManager> m_locManager;
    QTabWidget *m_tabs;
    QLabel *m_footer;
};
