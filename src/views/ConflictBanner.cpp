#include "ConflictBanner.h"

#include "DockChangeText.h"
#include "LocalizationManager.h"
#include "LocalizedText.h"
#include "PullConfirmation.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ConflictBanner::ConflictBanner(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : RoundedPanel(parent), m_syncManager(syncManager), m_locManager(locManager),
      m_title(ViewStyle::label(this, 13, QFont::DemiBold)), m_message(ViewStyle::label(this, 11)),
      m_keep(button("keepLocalDockButton")), m_useShared(button("useSharedDockButton")),
      m_dismiss(button("dismissConflictButton"))
{
    setObjectName(QStringLiteral("conflictBanner"));
    setFill(ViewStyle::withOpacity(ViewStyle::orange(), 0.08));
    setStroke(ViewStyle::withOpacity(ViewStyle::orange(), 0.3));
    setRadius(10);

    m_title->setObjectName(QStringLiteral("conflictTitle"));
    ViewStyle::setTextColor(m_title, ViewStyle::orange());
    m_message->setObjectName(QStringLiteral("conflictMessage"));
    m_message->setWordWrap(true);
    ViewStyle::setTextColor(m_message, ViewStyle::secondaryText(this));
    connect(m_keep, &QPushButton::clicked, m_syncManager,
            [mgr = m_syncManager] { mgr->performSync(SyncEngine::Mode::Push); });
    // The same question as Pull: the whole list of what would change, before anything does.
    connect(m_useShared, &QPushButton::clicked, this,
            [this] { PullConfirmation::pullAfterAsking(m_syncManager, m_locManager, window()); });
    connect(m_dismiss, &QPushButton::clicked, m_syncManager, &SyncManager::ignoreConflict);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_title);
    texts->addWidget(m_message);
    auto *top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 20, ViewStyle::orange(), this), 0,
                   Qt::AlignTop);
    top->addLayout(texts, 1);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    buttons->addWidget(m_keep);
    buttons->addWidget(m_useShared);
    buttons->addWidget(m_dismiss);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);
    column->addLayout(top);
    column->addLayout(buttons);
    // Its wrapped message decides its height; it never gives in to the rows below it.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);

    connect(m_syncManager, &SyncManager::dockDifferenceChanged, this, &ConflictBanner::retranslate);
    connect(m_syncManager, &SyncManager::isSyncingChanged, this, &ConflictBanner::retranslate);
    connect(m_syncManager, &SyncManager::syncProblemChanged, this, &ConflictBanner::retranslate);
    connect(m_locManager, &LocalizationManager::langChanged, this, &ConflictBanner::retranslate);
    retranslate();
}

QPushButton *ConflictBanner::button(const char *objectName)
{
    auto *button = new QPushButton(this);
    button->setObjectName(QString::fromLatin1(objectName));
    ViewStyle::makeBordered(button, 11);
    return button;
}

void ConflictBanner::retranslate()
{
    const auto pick = [this](const char *german, const char *english) {
        return localized(m_locManager, german, english);
    };
    const DockDifference difference = m_syncManager->dockDifference();
    const QString pushed = DockChangeText::pushedBy(difference, m_locManager);
    QString message;
    switch (m_syncManager->conflictCause()) {
    case ConflictCause::Joining:
        // This Mac never changed anything: it meets a Dock that others already share.
        message = pushed.isEmpty() ? pick("Dieser Mac hat ein anderes Dock als das gemeinsame.",
                                          "This Mac has a different Dock than the shared one.")
                                   : pick("Dieser Mac hat ein anderes Dock als das von ",
                                          "This Mac has a different Dock than the one shared by ") +
                                         pushed + pick(" geteilte.", ".");
        break;
    case ConflictCause::Overwritten:
        message = pick("Ein anderer Mac hat das Dock ersetzt, das dieser Mac geteilt hatte, bevor ein Mac es übernahm.",
                       "Another Mac replaced the Dock this Mac had shared before any Mac took it.");
        break;
    case ConflictCause::None:
    case ConflictCause::BothChanged:
        message = pick("Das Dock wurde auf diesem Mac und auf einem anderen Mac geändert, seit sie gleich waren.",
                       "The Dock was changed on this Mac and on another Mac since they were last alike.");
        break;
    }
    if (m_syncManager->conflictCause() != ConflictCause::Joining && !pushed.isEmpty())
        message += pick(" Das gemeinsame Dock kommt von ", " The shared Dock comes from ") + pushed + QLatin1Char('.');
    if (difference.result == DockDifference::Result::Different)
        message += pick(" Es weicht ab: ", " It differs: ") + DockChangeText::summary(difference, m_locManager);
    m_title->setText(pick("Konflikt erkannt", "Conflict Detected"));
    m_message->setText(message);

    m_keep->setText(pick("Dock dieses Macs behalten", "Keep this Mac's Dock"));
    m_keep->setToolTip(
        pick("Das Dock dieses Macs mit allen Macs teilen (Push)", "Share this Mac's Dock with all Macs (Push)"));
    m_useShared->setText(pick("Gemeinsames Dock verwenden", "Use the shared Dock"));
    m_useShared->setToolTip(pick("Das Dock dieses Macs durch das gemeinsame ersetzen (Pull)",
                                 "Replace this Mac's Dock with the shared one (Pull)"));
    m_dismiss->setText(pick("Ignorieren", "Ignore"));
    m_dismiss->setToolTip(pick("Beide Docks bleiben, wie sie sind; Tandrill fragt erst wieder, wenn sich eines ändert",
                               "Both Docks stay as they are; Tandrill asks again only once one of them changes"));
    const bool idle = !m_syncManager->isSyncing();
    m_keep->setEnabled(idle);
    m_useShared->setEnabled(idle);
}
