#include "MenuBarController.h"

#include "AppLog.h"
#include "LocalizationManager.h"
#include "MenuRowStyle.h"
#include "PullConfirmation.h"
#include "StatusIcon.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTextDocument>

namespace {
// Menu titles treat "&" as a mnemonic marker; text from the shared folder is shown as typed.
QString plainTitle(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// The macOS status item opens its menu itself on a click, and reports the click as well; the
// menu bar there is coloured by the system, which draws a template image in its own colour.
bool onMacMenuBar()
{
    return QGuiApplication::platformName() == QLatin1String("cocoa");
}

// Tooltips guess their format; a host name like "<b>x</b>" must not turn into markup.
QString plainToolTip(const QString &text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}
} // namespace

MenuBarController::MenuBarController(SyncManager *syncManager, LocalizationManager *locManager,
                                     WindowActions windowActions, QObject *parent)
    : QObject(parent), m_syncManager(syncManager), m_locManager(locManager), m_windowActions(std::move(windowActions)),
      m_rowStyle(std::make_unique<MenuRowStyle>()), m_menu(std::make_unique<QMenu>()),
      m_trayIcon(new QSystemTrayIcon(this))
{
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    m_menu->setToolTipsVisible(true);
    m_menu->setStyle(m_rowStyle.get());
    // Opening the menu always shows the current state.
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        qCDebug(lcApp) << "tray menu opened";
        rebuildMenu();
    });
    m_trayIcon->setContextMenu(m_menu.get());
    m_menu->installEventFilter(this);
    // A click opens the menu, as the macOS status item does by itself; other trays send only a
    // context request for the other button.
    if (!onMacMenuBar()) {
        connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                m_menu->popup(QCursor::pos());
        });
    }

    if (m_syncManager) {
        connect(m_syncManager, &SyncManager::daemonRunningChanged, this, &MenuBarController::scheduleRefresh);
        connect(m_syncManager, &SyncManager::syncProblemChanged, this, &MenuBarController::scheduleRefresh);
        connect(m_syncManager, &SyncManager::isSyncingChanged, this, &MenuBarController::scheduleRefresh);
        connect(m_syncManager, &SyncManager::lastSuccessfulSyncChanged, this, &MenuBarController::scheduleRefresh);
        connect(m_syncManager, &SyncManager::connectedHostsChanged, this, &MenuBarController::scheduleRefresh);
        connect(m_syncManager, &SyncManager::hostCustomNamesChanged, this, &MenuBarController::scheduleRefresh);
        connect(m_syncManager, &SyncManager::syncFolderPathChanged, this, &MenuBarController::scheduleRefresh);
    }
    if (m_locManager)
        connect(m_locManager, &LocalizationManager::langChanged, this, &MenuBarController::scheduleRefresh);

    updateStatusButton();
    rebuildMenu();
    m_trayIcon->show();
    qCDebug(lcApp) << "tray item created; system tray available:" << QSystemTrayIcon::isSystemTrayAvailable();
}

MenuBarController::~MenuBarController()
{
    m_trayIcon->setContextMenu(nullptr);
}

QColor MenuBarController::colorFor(StatusMenuRow::Tint tint) const
{
    using Tint = StatusMenuRow::Tint;
    const QPalette palette = QGuiApplication::palette();
    switch (tint) {
    case Tint::Orange:
        return ViewStyle::orange();
    case Tint::Green:
        return ViewStyle::green();
    case Tint::Red:
        return ViewStyle::red();
    case Tint::Secondary:
        return ViewStyle::withOpacity(palette.color(QPalette::Active, QPalette::WindowText), 0.55);
    case Tint::Plain:
        break;
    }
    return palette.color(QPalette::Active, QPalette::WindowText);
}

bool MenuBarController::eventFilter(QObject *watched, QEvent *event)
{
    // A change of appearance: the title's plain colour is the new palette's text colour.
    if (watched == m_menu.get() && event->type() == QEvent::ApplicationPaletteChange)
        scheduleRefresh();
    return QObject::eventFilter(watched, event);
}

void MenuBarController::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &MenuBarController::refresh, Qt::QueuedConnection);
}

void MenuBarController::refresh()
{
    m_refreshPending = false;
    if (!m_syncManager)
        return;
    updateStatusButton();
    rebuildMenu();
}

StatusMenuState MenuBarController::currentState() const
{
    StatusMenuState state;
    if (!m_syncManager)
        return state;
    state.problem = m_syncManager->syncProblem();
    state.conflictCause = m_syncManager->conflictCause();
    state.problemMessage = m_syncManager->problemMessage();
    state.daemonRunning = m_syncManager->daemonRunning();
    state.isSyncing = m_syncManager->isSyncing();
    state.lastSuccessfulSync = m_syncManager->lastSuccessfulSync();
    state.connectedHosts = m_syncManager->connectedHosts();
    state.hostCustomNames = m_syncManager->hostCustomNames();
    state.hasSyncFolder = !m_syncManager->syncFolderPath().isEmpty();
    return state;
}

void MenuBarController::updateStatusButton()
{
    if (!m_syncManager)
        return;
    const StatusMenuState state = currentState();
    const auto tint = StatusMenuModel::buttonTint(state);
    m_titleColor = colorFor(tint);
    // The plain title in the window's text colour can vanish on a menu bar of the other appearance;
    // as a template the system colours it. The state colours read on either.
    const bool mask = tint == StatusMenuRow::Tint::Plain && onMacMenuBar();
    m_trayIcon->setIcon(StatusIcon::render(mask ? QColor(Qt::black) : m_titleColor, mask));
    m_trayIcon->setToolTip(StatusMenuModel::buttonToolTip(state, m_locManager));
}

void MenuBarController::rebuildMenu()
{
    if (!m_syncManager)
        return;
    ++m_rebuildCount;
    m_menu->clear();
    // The previous actions may still be inside their own trigger; they go once it returns.
    if (m_menuActions)
        m_menuActions->deleteLater();
    m_menuActions = new QObject(this);

    const QFont menuFont = m_menu->font();
    for (const StatusMenuRow &row : StatusMenuModel::rows(currentState(), m_locManager)) {
        if (row.kind == StatusMenuRow::Kind::Separator) {
            m_menu->addSeparator();
            continue;
        }
        auto *action = new QAction(plainTitle(row.title), m_menuActions);
        if (!row.toolTip.isEmpty())
            action->setToolTip(plainToolTip(row.toolTip));
        action->setEnabled(row.enabled());
        if (row.tint != StatusMenuRow::Tint::Plain)
            action->setProperty(MenuRowStyle::kTintProperty, colorFor(row.tint));
        if (row.fontPixelSize > 0) {
            QFont font = menuFont;
            font.setPixelSize(row.fontPixelSize);
            font.setBold(row.bold);
            action->setFont(font);
        }
        if (row.enabled()) {
            const StatusMenuRow::Command command = row.command;
            connect(action, &QAction::triggered, this, [this, command] { run(command); });
        }
        m_menu->addAction(action);
    }
}

void MenuBarController::run(StatusMenuRow::Command command)
{
    using Command = StatusMenuRow::Command;
    switch (command) {
    case Command::Push:
        if (m_syncManager)
            m_syncManager->performSync(SyncEngine::Mode::Push);
        break;
    case Command::Pull:
        // Asks first when the Docks differ, in a dialog of its own: the window may be hidden.
        if (m_syncManager && m_locManager)
            PullConfirmation::pullAfterAsking(m_syncManager, m_locManager, nullptr);
        break;
    case Command::Auto:
        if (m_syncManager)
            m_syncManager->performSync(SyncEngine::Mode::Auto);
        break;
    case Command::StartDaemon:
        if (m_syncManager)
            m_syncManager->startDaemon();
        break;
    case Command::StopDaemon:
        if (m_syncManager)
            m_syncManager->stopDaemon();
        break;
    case Command::OpenWindow:
        if (m_windowActions.openWindow)
            m_windowActions.openWindow();
        break;
    case Command::Quit:
        if (m_windowActions.quit)
            m_windowActions.quit();
        break;
    case Command::None:
        break;
    }
}
