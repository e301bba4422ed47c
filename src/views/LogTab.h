#pragma once

#include <QStringList>
#include <QWidget>

class LocalizationManager;
class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;
class SyncManager;

// The second tab: the newest lines of the shared log, newest first, with reload and clear.
class LogTab : public QWidget {
    Q_OBJECT

public:
    LogTab(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    QWidget *buildEmptyState();
    QWidget *buildList();
    QWidget *buildFootnote();
    void retranslate();
    void renderLines();
    void renderCount();
    void askToClear();

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    QLabel *m_count;
    QToolButton *m_reload;
    QPushButton *m_clear;
    QStackedWidget *m_listArea;
    QWidget *m_emptyState = nullptr;
    QLabel *m_emptyText = nullptr;
    QWidget *m_list = nullptr;
    QVBoxLayout *m_rows = nullptr;
    QStringList m_shownLines;
    QLabel *m_footnote = nullptr;
};
