#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

// A label followed by the small up/down control of a stepper. The value moves by one within
// [minimum, maximum]; the arrow that would leave the range is disabled.
class IntervalStepper : public QWidget {
    Q_OBJECT

public:
    IntervalStepper(int minimum, int maximum, QWidget *parent = nullptr);

    int value() const { return m_value; }
    void setValue(int value); // from the model; emits nothing
    void setLabelText(const QString &text);
    QString labelText() const;

signals:
    void stepped(int value); // the user moved the value

private:
    void step(int delta);
    void updateArrows();

    int m_minimum;
    int m_maximum;
    int m_value;
    QLabel *m_label;
    QToolButton *m_up;
    QToolButton *m_down;
};
