#pragma once

#include <QTimer>
#include <QWidget>

// The small spinning progress indicator: twelve spokes whose brightness runs round while shown.
class ActivitySpinner : public QWidget {
    Q_OBJECT

public:
    explicit ActivitySpinner(int diameter, QWidget *parent = nullptr);

    bool isSpinning() const { return m_timer.isActive(); }
    QSize sizeHint() const override { return QSize(m_diameter, m_diameter); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    int m_diameter;
    int m_step = 0;
    QTimer m_timer;
};
