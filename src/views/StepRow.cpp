#include "StepRow.h"

#include "RoundedPanel.h"
#include "SymbolView.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
constexpr int kBadgeSize = 28;
}

StepRow::StepRow(int number, QWidget *content, QWidget *parent)
    : QWidget(parent), m_badge(new RoundedPanel(this)), m_badgeFace(new QStackedWidget(m_badge)),
      m_number(ViewStyle::label(m_badgeFace, 13, QFont::DemiBold)),
      m_tick(new SymbolView(QStringLiteral("checkmark"), 12, Qt::white, m_badgeFace)),
      m_title(ViewStyle::label(this, 13, QFont::DemiBold)), m_content(content)
{
    setObjectName(QStringLiteral("stepRow%1").arg(number));
    m_badge->setObjectName(QStringLiteral("stepBadge"));
    m_badge->setFixedSize(kBadgeSize, kBadgeSize);
    m_badge->setRadius(kBadgeSize / 2.0);
    m_number->setObjectName(QStringLiteral("stepNumber"));
    m_number->setText(QString::number(number));
    m_number->setAlignment(Qt::AlignCenter);
    ViewStyle::setTextColor(m_number, ViewStyle::blue());
    m_tick->setObjectName(QStringLiteral("stepTick"));
    auto *tickHolder = new QWidget(m_badgeFace);
    auto *tickLayout = new QHBoxLayout(tickHolder);
    tickLayout->setContentsMargins(0, 0, 0, 0);
    tickLayout->addWidget(m_tick, 0, Qt::AlignCenter);
    m_badgeFace->addWidget(m_number);
    m_badgeFace->addWidget(tickHolder);
    auto *badgeLayout = new QHBoxLayout(m_badge);
    badgeLayout->setContentsMargins(0, 0, 0, 0);
    badgeLayout->addWidget(m_badgeFace);

    m_title->setObjectName(QStringLiteral("stepTitle"));
    // A step that is not reached yet is dimmed as a whole, not greyed like a disabled control.
    ViewStyle::setTextColor(m_title, ViewStyle::primaryText(this));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(m_title);
    if (m_content)
        texts->addWidget(m_content);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    row->addWidget(m_badge, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    setDone(false);
}

void StepRow::setTitle(const QString &title)
{
    m_title->setText(title);
}

void StepRow::setDone(bool done)
{
    m_done = done;
    m_badge->setFill(done ? ViewStyle::green() : ViewStyle::withOpacity(ViewStyle::blue(), 0.15));
    m_badgeFace->setCurrentIndex(done ? 1 : 0);
}

QString StepRow::title() const
{
    return m_title->text();
}
