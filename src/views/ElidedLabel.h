#pragma once

#include <QString>
#include <QWidget>

// One line of plain text that never wraps: too long for its width it first shrinks (down to
// `minimumScale` of its font size) and then is cut with "…" at the end or in the middle.
class ElidedLabel : public QWidget {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    void setElideMode(Qt::TextElideMode mode);
    void setMinimumScale(qreal scale);

    QString text() const { return m_text; }
    QString displayedText() const; // the text as drawn at the current width

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont fittedFont() const;

    QString m_text;
    Qt::TextElideMode m_elideMode = Qt::ElideRight;
    qreal m_minimumScale = 1.0;
};
