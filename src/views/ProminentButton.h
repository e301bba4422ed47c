#pragma once

#include <QColor>
#include <QPushButton>

// A push button filled with a tint and labelled in white, the prominent style of macOS: lighter
// under the pointer, darker while pressed, faded while disabled. Painted here, not through a style
// sheet: the first style sheet in a window brings Qt's whole style-sheet machinery into memory.
class ProminentButton : public QPushButton {
    Q_OBJECT

public:
    explicit ProminentButton(const QColor &tint, int pixelSize = 13, QWidget *parent = nullptr);
    ProminentButton(const QString &text, const QColor &tint, int pixelSize = 13, QWidget *parent = nullptr);

    QColor tint() const { return m_tint; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_tint;
};
