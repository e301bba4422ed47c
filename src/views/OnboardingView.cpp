#include "OnboardingView.h"

#include "BulletRow.h"
#include "JoinChoice.h"
#include "LanguageButton.h"
#include "LocalizedText.h"
#include "PathDisplay.h"
#include "ProminentButton.h"
#include "StepRow.h"
#include "SymbolView.h"
#include "SyncManager.h"
#include "TandrillIcon.h"
#include "ViewStyle.h"

#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kIconSize = 64;
constexpr qreal kInactiveStepOpacity = 0.35;

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: rgba(128, 128, 128, 0.3);"));
    return line;
}

} // namespace

OnboardingView::OnboardingView(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager)
{
    setObjectName(QStringLiteral("onboardingView"));
    // The wizard keeps its fixed frame, centred in whatever space the window gives it.
    auto *frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("onboardingFrame"));
    // It grows only when joining a folder adds the choice of Dock.
    frame->setFixedWidth(kWidth);
    frame->setMinimumHeight(kHeight);
    auto *column = new QVBoxLayout(frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addStretch(1);
    column->addWidget(buildHeader(frame));
    column->addWidget(divider(frame));
    column->addWidget(buildSteps(frame));
    column->addWidget(divider(frame));
    column->addWidget(buildFooter(frame));
    column->addStretch(1);
    auto *centre = new QVBoxLayout(this);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(frame, 0, Qt::AlignCenter);

    connect(m_locManager, &LocalizationManager::langChanged, this, &OnboardingView::retranslate);
    retranslate();
    render();
}

QWidget *OnboardingView::buildHeader(QWidget *frame)
{
    auto *header = new QWidget(frame);
    m_icon = new QLabel(header);
    m_icon->setObjectName(QStringLiteral("welcomeIcon"));
    m_icon->setFixedSize(kIconSize, kIconSize);
    m_icon->setPixmap(TandrillIcon::pixmap(kIconSize, devicePixelRatioF()));
    m_welcome = ViewStyle::label(header, 20, QFont::DemiBold);
    m_welcome->setObjectName(QStringLiteral("welcomeTitle"));
    m_tagline = ViewStyle::label(header, 12);
    m_tagline->setObjectName(QStringLiteral("welcomeTagline"));
    ViewStyle::setTextColor(m_tagline, ViewStyle::secondaryText(this));
    auto *column = new QVBoxLayout(header);
    column->setContentsMargins(0, 28, 0, 20);
    column->setSpacing(10);
    column->addWidget(m_icon, 0, Qt::AlignHCenter);
    column->addWidget(m_welcome, 0, Qt::AlignHCenter);
    column->addWidget(m_tagline, 0, Qt::AlignHCenter);
    return header;
}

QWidget *OnboardingView::buildSteps(QWidget *frame)
{
    auto *steps = new QWidget(frame);
    m_explainStep = new StepRow(1, buildExplanation(), steps);
    m_folderStep = new StepRow(2, buildFolderChoice(), steps);
    m_folderStepOpacity = new QGraphicsOpacityEffect(m_folderStep);
    m_folderStepOpacity->setOpacity(kInactiveStepOpacity);
    m_folderStep->setGraphicsEffect(m_folderStepOpacity);
    auto *column = new QVBoxLayout(steps);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(20);
    column->addWidget(m_explainStep);
    column->addWidget(m_folderStep);
    return steps;
}

QWidget *OnboardingView::buildExplanation()
{
    m_explanation = new QWidget;
    m_explanation->setObjectName(QStringLiteral("explanation"));
    auto *column = new QVBoxLayout(m_explanation);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    for (const char *icon : {"icloud", "arrow.triangle.2.circlepath", "clock"}) {
        auto *bullet = new BulletRow(QString::fromLatin1(icon), m_explanation);
        m_bullets.append(bullet);
        column->addWidget(bullet);
    }
    m_gotIt = new ProminentButton(ViewStyle::blue(), 13, m_explanation);
    m_gotIt->setObjectName(QStringLiteral("gotItButton"));
    connect(m_gotIt, &QPushButton::clicked, this, &OnboardingView::goToFolderStep);
    column->addSpacing(2);
    column->addWidget(m_gotIt, 0, Qt::AlignLeft);
    return m_explanation;
}

QWidget *OnboardingView::buildFolderChoice()
{
    auto *choice = new QWidget;
    m_folderInstruction = ViewStyle::label(choice, 12);
    m_folderInstruction->setObjectName(QStringLiteral("folderInstruction"));
    m_folderInstruction->setWordWrap(true);
    ViewStyle::setTextColor(m_folderInstruction, ViewStyle::secondaryText(this));
    m_path = new PathDisplay(choice);
    m_choose = new QPushButton(choice);
    m_choose->setObjectName(QStringLiteral("chooseFolderButton"));
    ViewStyle::makeBordered(m_choose);
    connect(m_choose, &QPushButton::clicked, this, &OnboardingView::chooseFolder);
    auto *pathRow = new QHBoxLayout;
    pathRow->setSpacing(8);
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_choose);

    m_folderHint = new QWidget(choice);
    m_folderHint->setObjectName(QStringLiteral("folderHint"));
    m_folderHintText = ViewStyle::label(m_folderHint, 11);
    m_folderHintText->setObjectName(QStringLiteral("folderHintText"));
    m_folderHintText->setWordWrap(true);
    ViewStyle::setTextColor(m_folderHintText, ViewStyle::blue());
    auto *hintRow = new QHBoxLayout(m_folderHint);
    hintRow->setContentsMargins(0, 0, 0, 0);
    hintRow->setSpacing(6);
    hintRow->addWidget(new SymbolView(QStringLiteral("info.circle"), 11, ViewStyle::blue(), m_folderHint), 0,
                       Qt::AlignTop);
    hintRow->addWidget(m_folderHintText, 1);

    auto *column = new QVBoxLayout(choice);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(m_folderInstruction);
    column->addLayout(pathRow);
    column->addWidget(m_folderHint);
    m_join = new JoinChoice(m_syncManager, m_locManager, choice);
    connect(m_join, &JoinChoice::inspected, this, [this] {
        render();
        // Pressed while the folder was still being read: go on, unless it holds another Dock
        // and the user has not seen the choice yet.
        if (std::exchange(m_startWhenInspected, false) && !m_join->chosenMode())
            getStarted();
    });
    column->addWidget(m_join);
    return choice;
}

QWidget *OnboardingView::buildFooter(QWidget *frame)
{
    auto *footer = new QWidget(frame);
    m_language = new LanguageButton(m_locManager, footer);
    m_getStarted = new ProminentButton(ViewStyle::blue(), 13, footer);
    m_getStarted->setObjectName(QStringLiteral("getStartedButton"));
    connect(m_getStarted, &QPushButton::clicked, this, &OnboardingView::getStarted);
    auto *row = new QHBoxLayout(footer);
    row->setContentsMargins(16, 16, 16, 16);
    row->addWidget(m_language, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_getStarted, 0, Qt::AlignVCenter);
    return footer;
}

void OnboardingView::retranslate()
{
    m_welcome->setText(localized(m_locManager, "Willkommen bei Tandrill", "Welcome to Tandrill"));
    m_tagline->setText(
        localized(m_locManager, "Dein Dock. Auf allen Macs. Immer gleich.", "Your Dock. On all Macs. Always in sync."));
    m_explainStep->setTitle(localized(m_locManager, "Wie funktioniert Tandrill?", "How does Tandrill work?"));
    m_bullets[0]->setText(localized(m_locManager, "Speichert deine Dock-Konfiguration in einem iCloud-Ordner.",
                                    "Saves your Dock configuration in an iCloud folder."));
    m_bullets[1]->setText(localized(m_locManager, "Bis zu 4 Macs lesen und schreiben in denselben Ordner.",
                                    "Up to 4 Macs read and write to the same folder."));
    m_bullets[2]->setText(localized(m_locManager, "Synchronisation läuft automatisch im Hintergrund.",
                                    "Synchronisation runs automatically in the background."));
    m_gotIt->setText(localized(m_locManager, "Verstanden →", "Got it →"));
    m_folderStep->setTitle(localized(m_locManager, "Sync-Ordner wählen", "Choose sync folder"));
    // Shown as typed: the asterisks are part of the text.
    ViewStyle::setEmphasizedText(m_folderInstruction,
                                 localized(m_locManager, "Denselben iCloud-Ordner auf **allen Macs** einrichten.",
                                           "Set up the **same iCloud folder** on all Macs."));
    m_choose->setText(localized(m_locManager, "Wählen…", "Choose…"));
    m_folderHintText->setText(localized(m_locManager, "Ordner gewählt. Auf allen weiteren Macs denselben Pfad wählen.",
                                        "Folder selected. Choose the same path on all other Macs."));
    m_getStarted->setText(localized(m_locManager, "Los geht's →", "Get started →"));
    render();
}

bool OnboardingView::hasFolder() const
{
    return m_selectedURL && !m_selectedURL->isEmpty();
}

void OnboardingView::render()
{
    m_explainStep->setDone(m_step > 1);
    m_explanation->setVisible(m_step == 1);
    m_folderStep->setDone(hasFolder());
    m_folderStep->setEnabled(m_step >= 2);
    if (hasFolder()) {
        m_path->display(QStringLiteral("folder.fill"), ViewStyle::blue(), ViewStyle::abbreviatedPath(*m_selectedURL),
                        false);
    } else {
        m_path->display(QStringLiteral("folder"), ViewStyle::secondaryText(this),
                        localized(m_locManager, "Noch kein Ordner gewählt", "No folder selected yet"), true);
    }
    m_folderHint->setVisible(hasFolder());
    m_getStarted->setEnabled(m_selectedURL.has_value());
}

void OnboardingView::goToFolderStep()
{
    if (m_step != 1)
        return;
    m_step = 2;
    // Collapse the explanation and bring step 2 to full strength together, in a quarter second.
    auto *animation = new QParallelAnimationGroup(this);
    auto *collapse = new QPropertyAnimation(m_explanation, "maximumHeight", animation);
    collapse->setDuration(kStepAnimationMs);
    collapse->setEasingCurve(QEasingCurve::InOutQuad);
    collapse->setStartValue(m_explanation->height());
    collapse->setEndValue(0);
    auto *brighten = new QPropertyAnimation(m_folderStepOpacity, "opacity", animation);
    brighten->setDuration(kStepAnimationMs);
    brighten->setEasingCurve(QEasingCurve::InOutQuad);
    brighten->setStartValue(kInactiveStepOpacity);
    brighten->setEndValue(1.0);
    connect(animation, &QParallelAnimationGroup::finished, this, [this] {
        m_explanation->setMaximumHeight(QWIDGETSIZE_MAX);
        render();
    });
    m_explainStep->setDone(true);
    m_folderStep->setEnabled(true);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void OnboardingView::chooseFolder()
{
    QPointer<OnboardingView> self(this);
    m_syncManager->pickSyncFolder([self](std::optional<QString> folder) {
        OnboardingView *view = self.data();
        if (!view || !folder)
            return; // a cancelled chooser keeps the folder chosen before
        view->m_selectedURL = std::move(folder);
        view->m_startWhenInspected = false;
        view->m_join->inspect(*view->m_selectedURL);
        view->render();
    });
}

void OnboardingView::getStarted()
{
    if (!m_selectedURL)
        return;
    if (m_join->isInspecting()) {
        m_startWhenInspected = true;
        return;
    }
    // Joining a folder that holds another Dock runs only what the user chose there.
    const std::optional<SyncEngine::Mode> joinMode = m_join->chosenMode();
    QPointer<SyncManager> mgr(m_syncManager);
    mgr->completeSetup(*m_selectedURL);
    if (joinMode && mgr)
        mgr->performSync(*joinMode);
}
