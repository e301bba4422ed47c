#include "ContentView.h"

#include "LocalizationManager.h"
#include "MainView.h"
#include "OnboardingView.h"
#include "SyncManager.h"

#include <QApplication>
#include <QDialog>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

ContentView::ContentView(SyncManager *syncManager, LocalizationManager *locManager, QString version, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager), m_version(std::move(version)),
      m_layout(new QVBoxLayout(this)), m_restyleTimer(new QTimer(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_restyleTimer->setSingleShot(true);
    connect(m_restyleTimer, &QTimer::timeout, this, &ContentView::restyle);
    if (m_syncManager)
        connect(m_syncManager, &SyncManager::isOnboardingCompleteChanged, this, &ContentView::showCurrentState);
    showCurrentState();
}

QSize ContentView::minimumSizeHint() const
{
    return QWidget::minimumSizeHint().expandedTo(QSize(kMinimumWidth, kMinimumHeight));
}

void ContentView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Several palette changes in a row (the application's, then a style's) make one new content.
    if (event->type() == QEvent::PaletteChange && m_current && !m_restyleTimer->isActive())
        m_restyleTimer->start(0);
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    emit shown();
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_fadeOverlay)
        m_fadeOverlay->setGeometry(rect());
}

void ContentView::showCurrentState()
{
    const bool complete = m_syncManager && m_syncManager->isOnboardingComplete();
    if (!m_current || complete != m_showsMainView)
        replaceContent(complete);
}

void ContentView::restyle()
{
    if (!m_current || palette() == m_contentPalette)
        return;
    // The wizard past its first step holds choices; it is made anew when it ends.
    const auto *wizard = qobject_cast<OnboardingView *>(m_current.data());
    if (wizard && (wizard->step() > 1 || wizard->selectedURL()))
        return;
    if (userIsBusy()) {
        m_restyleTimer->start(kRestyleRetryMilliseconds);
        return;
    }
    const auto *shown = qobject_cast<MainView *>(m_current.data());
    const int tab = shown ? shown->currentTab() : 0;
    replaceContent(m_showsMainView);
    if (auto *made = qobject_cast<MainView *>(m_current.data()))
        made->showTab(tab);
}

bool ContentView::userIsBusy() const
{
    // A question, a chooser or an open menu answers into the content it came from, and a text
    // being typed would be lost.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return true;
    const QList<QDialog *> dialogs = window()->findChildren<QDialog *>();
    if (std::any_of(dialogs.cbegin(), dialogs.cend(), [](const QDialog *dialog) { return dialog->isVisible(); }))
        return true;
    const QWidget *focus = QApplication::focusWidget();
    return focus && m_current->isAncestorOf(focus) && qobject_cast<const QLineEdit *>(focus);
}

void ContentView::replaceContent(bool mainView)
{
    QPixmap previous;
    if (m_current) {
        if (isVisible())
            previous = m_current->grab();
        m_layout->removeWidget(m_current);
        m_current->hide();
        m_current->deleteLater();
    }
    if (mainView)
        m_current = new MainView(m_syncManager, m_locManager, m_version, this);
    else
        m_current = new OnboardingView(m_syncManager, m_locManager, this);
    m_showsMainView = mainView;
    m_contentPalette = palette();
    m_layout->addWidget(m_current);
    m_current->show();
    if (!previous.isNull())
        crossFadeFrom(previous);
}

void ContentView::crossFadeFrom(const QPixmap &previous)
{
    // The old content, frozen as a picture, fades out over the new one.
    delete m_fadeOverlay;
    auto *overlay = new QLabel(this);
    overlay->setPixmap(previous);
    overlay->setGeometry(rect());
    overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *effect = new QGraphicsOpacityEffect(overlay);
    overlay->setGraphicsEffect(effect);
    overlay->show();
    overlay->raise();
    m_fadeOverlay = overlay;

    auto *fade = new QPropertyAnimation(effect, "opacity", overlay);
    fade->setDuration(kFadeMilliseconds);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(fade, &QPropertyAnimation::finished, overlay, &QObject::deleteLater);
    fade->start();
}
