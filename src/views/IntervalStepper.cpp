#include "IntervalStepper.h"

#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

IntervalStepper::IntervalStepper(int minimum, int maximum, QWidget *parent)
    : QWidget(parent), m_minimum(minimum), m_maximum(maximum), m_value(minimum), m_label(ViewStyle::label(this, 12)),
      m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    m_label->setObjectName(QStringLiteral("stepperLabel"));
    m_up->setObjectName(QStringLiteral("stepUp"));
    m_down->setObjectName(QStringLiteral("stepDown"));
    for (QToolButton *arrow : {m_up, m_down}) {
        arrow->setFixedSize(18, 11);
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });

    auto *arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(m_label);
    row->addLayout(arrows);
    updateArrows();
}

void IntervalStepper::setValue(int value)
{
    m_value = std::clamp(value, m_minimum, m_maximum);
    updateArrows();
}

void IntervalStepper::setLabelText(const QString &text)
{
    m_label->setText(text);
}

QString IntervalStepper::labelText() const
{
    return m_label->text();
}

void IntervalStepper::step(int delta)
{
    const int next = std::clamp(m_value + delta, m_minimum, m_maximum);
    if (next == m_value)
        return;
    m_value = next;
    updateArrows();
    emit stepped(m_value);
}

void IntervalStepper::updateArrows()
{
    m_up->setEnabled(m_value < m_maximum);
    m_down->setEnabled(m_value > m_minimum);
}
