#include "ContentView.h"

#include "LocalizationManager.h"
#include "MainView.h"
#include "OnboardingView.h"
#include "SyncManager.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QVBoxLayout>

ContentView::ContentView(SyncManager *syncManager, LocalizationManager *locManager, QString version, QWidget *parent)
    : QWidget(parent), m_syncManager(syncManager), m_locManager(locManager), m_version(std::move(version)),
      m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    if (m_syncManager)
        connect(m_syncManager, &SyncManager::isOnboardingCompleteChanged, this, &ContentView::showCurrentState);
    showCurrentState();
}

QSize ContentView::minimumSizeHint() const
{
    return QWidget::minimumSizeHint().expandedTo(QSize(kMinimumWidth, kMinimumHeight));
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
    if (m_current && complete == m_showsMainView)
        return;

    QPixmap previous;
    if (m_current) {
        if (isVisible())
            previous = m_current->grab();
        m_layout->removeWidget(m_current);
        m_current->hide();
        m_current->deleteLater();
    }
    if (complete)
        m_current = new MainView(m_syncManager, m_locManager, m_version, this);
    else
        m_current = new OnboardingView(m_syncManager, m_locManager, this);
    m_showsMainView = complete;
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
