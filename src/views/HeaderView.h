#pragma once

#include <QPointer>
#include <QWidget>

class LocalizationManager;
class QLabel;
class LanguageButton;
class StateBadge;
class SyncManager;

// The top of the main window: logo, name, tagline, the background-sync line, the language
// button and the state badge. It follows daemonRunning, conflictDetected and the language.
class HeaderView : public QWidget {
    Q_OBJECT

public:
    HeaderView(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

private:
    void refresh();
    QString pick(const QString &german, const QString &english) const;

    QPointer<SyncManager> m_syncManager;
    QPointer<LocalizationManager> m_locManager;
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_tagline;
    QLabel *m_stateLine;
    LanguageButton *m_languageButton; // none without a language to switch
    StateBadge *m_badge;
};
