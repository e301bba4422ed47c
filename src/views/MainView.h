#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class LocalizationManager;
class QLabel;
class QTabWidget;
class SyncManager;

// A tab whose content is built the first time it is shown.
class LazyTab : public QWidget {
    Q_OBJECT

public:
    using Build = std::function<QWidget *(QWidget *parent)>;
    explicit LazyTab(Build build, QWidget *parent = nullptr);

    QWidget *content(); // builds it now when it does not exist yet
    bool isBuilt() const { return m_content != nullptr; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    Build m_build;
    QWidget *m_content = nullptr;
};

// The set-up app's window content: header, the Dashboard, Log and Settings tabs, and the
// version footer.
class MainView : public QWidget {
    Q_OBJECT

public:
    // Fits a 1280×720 screen with a panel, title bar and menu bar: the tabs scroll below that.
    static constexpr int kMinimumWidth = 520;
    static constexpr int kMinimumHeight = 560;

    // An empty version shows as "—".
    MainView(SyncManager *syncManager, LocalizationManager *locManager, const QString &version,
             QWidget *parent = nullptr);

    static QString footerText(const QString &version);

    int currentTab() const;
    void showTab(int index);

private:
    void retranslate();

    QPointer<LocalizationManager> m_locManager;
    QTabWidget *m_tabs;
    QLabel *m_footer;
};
