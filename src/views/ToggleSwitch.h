#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

// An on/off switch in the style of the macOS toggle: a pill whose knob slides to the right and
// whose track turns blue when on.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVariantAnimation m_knob;
    qreal m_position = 0.0; // 0 = off, 1 = on
};
