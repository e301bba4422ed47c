#pragma once

#include <QColor>
#include <QWidget>

// A filled circle of one colour, such as the marker in front of a log line.
class ColorDot : public QWidget {
    Q_OBJECT

public:
    ColorDot(int diameter, const QColor &color, QWidget *parent = nullptr);

    void setColor(const QColor &color);
    QColor color() const { return m_color; }

    QSize sizeHint() const override { return QSize(m_diameter, m_diameter); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_diameter;
    QColor m_color;
};
