#include "ApplicationMenu.h"

#include "LocalizationManager.h"
#include "UpdaterManager.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

ApplicationMenu::ApplicationMenu(QMenuBar *menuBar, LocalizationManager *locManager, UpdaterManager *updater,
                                 Actions actions)
    : QObject(menuBar), m_locManager(locManager), m_updater(updater), m_menu(menuBar->addMenu(QString())),
      m_about(m_menu->addAction(QString())), m_checkForUpdates(m_menu->addAction(QString())), m_quit(nullptr)
{
    m_menu->setObjectName(QStringLiteral("applicationMenu"));
    m_about->setObjectName(QStringLiteral("aboutAction"));
    m_about->setMenuRole(QAction::AboutRole);
    m_checkForUpdates->setObjectName(QStringLiteral("checkForUpdatesAction"));
    m_checkForUpdates->setMenuRole(QAction::ApplicationSpecificRole);
    m_menu->addSeparator();
    m_quit = m_menu->addAction(QString());
    m_quit->setObjectName(QStringLiteral("quitAction"));
    m_quit->setMenuRole(QAction::QuitRole);
    m_quit->setShortcut(QKeySequence::Quit);

    connect(m_about, &QAction::triggered, this, [about = std::move(actions.about)] {
        if (about)
            about();
    });
    connect(m_quit, &QAction::triggered, this, [quit = std::move(actions.quit)] {
        if (quit)
            quit();
    });
    connect(m_checkForUpdates, &QAction::triggered, this, [this] {
        if (m_updater && m_updater->canCheckForUpdates())
            m_updater->checkForUpdates();
    });

    m_checkForUpdates->setEnabled(m_updater && m_updater->canCheckForUpdates());
    if (m_updater)
        connect(m_updater, &UpdaterManager::canCheckForUpdatesChanged, m_checkForUpdates, &QAction::setEnabled);
    if (m_locManager)
        connect(m_locManager, &LocalizationManager::langChanged, this, &ApplicationMenu::retranslate);
    retranslate();
}

void ApplicationMenu::retranslate()
{
    const auto pick = [this](const QString &german, const QString &english) {
        return m_locManager ? m_locManager->pick(german, english) : german;
    };
    m_menu->setTitle(QStringLiteral("Tandrill"));
    m_about->setText(pick(QStringLiteral("Über Tandrill"), QStringLiteral("About Tandrill")));
    m_checkForUpdates->setText(pick(QStringLiteral("Nach Updates suchen…"), QStringLiteral("Check for Updates…")));
    m_quit->setText(pick(QStringLiteral("Tandrill beenden"), QStringLiteral("Quit Tandrill")));
}
