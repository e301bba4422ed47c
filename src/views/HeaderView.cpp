#include "HeaderView.h"

#include "LanguageButton.h"
#include "LocalizationManager.h"
#include "StateBadge.h"
#include "SyncManager.h"
#include "SyncStatusText.h"
#include "TandrillIcon.h"
#include "ViewStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kIconSize = 52;

QLabel *makeLabel(const QString &objectName, int pixelSize, QFont::Weight weight, QWidget *parent)
{
    QLabel *label = ViewStyle::label(parent, pixelSize, weight);
    label->setObjectName(objectName);
    return label;
}
} // namespace

HeaderView::HeaderView(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager), m_icon(new QLabel(this)),
      m_title(makeLabel(QStringLiteral("headerTitle"), 26, QFont::Bold, this)),
      m_tagline(makeLabel(QStringLiteral("headerTagline"), 12, QFont::Medium, this)),
      m_stateLine(makeLabel(QStringLiteral("syncStateLine"), 11, QFont::Normal, this)),
      m_languageButton(locManager ? new LanguageButton(locManager, this) : nullptr), m_badge(new StateBadge(this))
{
    m_icon->setObjectName(QStringLiteral("headerIcon"));
    m_icon->setFixedSize(kIconSize, kIconSize);
    m_title->setText(QStringLiteral("Tandrill"));

    m_badge->setObjectName(QStringLiteral("stateBadge"));
    // A problem's line is long in German: it wraps rather than being cut off.
    m_stateLine->setWordWrap(true);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_title);
    texts->addWidget(m_tagline);
    texts->addWidget(m_stateLine);

    auto *controls = new QHBoxLayout;
    controls->setSpacing(10);
    if (m_languageButton)
        controls->addWidget(m_languageButton, 0, Qt::AlignVCenter);
    controls->addWidget(m_badge, 0, Qt::AlignVCenter);

    auto *row = new QHBoxLayout(this);
    row->setSpacing(16);
    row->setContentsMargins(44, 22, 24, 14);
    row->addWidget(m_icon, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    row->addLayout(controls);

    if (m_syncManager) {
        connect(m_syncManager, &SyncManager::daemonRunningChanged, this, &HeaderView::refresh);
        connect(m_syncManager, &SyncManager::syncProblemChanged, this, &HeaderView::refresh);
    }
    if (m_locManager)
        connect(m_locManager, &LocalizationManager::langChanged, this, &HeaderView::refresh);
    refresh();
}

QString HeaderView::pick(const QString &german, const QString &english) const
{
    return m_locManager ? m_locManager->pick(german, english) : german;
}

void HeaderView::refresh()
{
    const bool running = m_syncManager && m_syncManager->daemonRunning();
    m_icon->setPixmap(TandrillIcon::pixmap(kIconSize, devicePixelRatioF()));
    m_tagline->setText(pick(QStringLiteral("Dein Dock. Auf allen Macs. Immer gleich."),
                            QStringLiteral("Your Dock. On all Macs. Always in sync.")));
    ViewStyle::setTextColor(m_tagline, ViewStyle::secondaryText(this));

    const SyncProblem problem = m_syncManager ? m_syncManager->syncProblem() : SyncProblem::None;
    if (problem != SyncProblem::None) {
        // Whatever keeps this Mac from syncing outweighs whether background sync is switched on.
        m_stateLine->setText(problemLine(problem, m_syncManager->conflictCause(), m_locManager));
        ViewStyle::setTextColor(m_stateLine, ViewStyle::orange());
        m_badge->setState(StateBadge::State::Conflict, problemBadgeText(problem, m_locManager),
                          problemAdvice(problem, m_syncManager->problemMessage(), m_locManager));
        return;
    }
    m_stateLine->setText(
        running ? pick(QStringLiteral("Automatische Synchronisation aktiv"), QStringLiteral("Auto sync active"))
                : pick(QStringLiteral("Synchronisation gestoppt"), QStringLiteral("Sync stopped")));
    ViewStyle::setTextColor(m_stateLine, running ? ViewStyle::green() : ViewStyle::orange());

    if (running) {
        m_badge->setState(StateBadge::State::Active, pick(QStringLiteral("Aktiv"), QStringLiteral("Active")),
                          pick(QStringLiteral("Automatischer Sync läuft im Hintergrund"),
                               QStringLiteral("Auto sync is running in the background")));
    } else {
        m_badge->setState(StateBadge::State::Inactive, pick(QStringLiteral("Inaktiv"), QStringLiteral("Inactive")),
                          pick(QStringLiteral("Automatischer Sync ist gestoppt – starte ihn im Dashboard"),
                               QStringLiteral("Auto sync is stopped – start it in the Dashboard")));
    }
}
