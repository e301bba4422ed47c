#pragma once

#include <QColor>
#include <QWidget>

class QLabel;

// The small pill at the header's right: a conflict warning, or a glowing dot with "Active" or
// "Inactive". It draws the pill and the symbol itself; the word is a plain-text label.
class StateBadge : public QWidget {
    Q_OBJECT

public:
    enum class State { Active, Inactive, Conflict };

    explicit StateBadge(QWidget *parent = nullptr);

    void setState(State state, const QString &text, const QString &toolTip);
    State state() const { return m_state; }
    QColor color() const;
    QString text() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void applyColor();
    void paintDot(QPainter &painter, const QRectF &area) const;
    void paintWarning(QPainter &painter, const QRectF &area) const;

    QLabel *m_label;
    State m_state = State::Inactive;
};
