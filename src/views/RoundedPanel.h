#pragma once

#include <QColor>
#include <QWidget>

// A rounded rectangle behind its children: a fill, an optional outline and a corner radius.
// The group-box look (a faint fill that follows the palette) is one preset of it.
class RoundedPanel : public QWidget {
    Q_OBJECT

public:
    explicit RoundedPanel(QWidget *parent = nullptr);

    // The group-box look; its layout gives the content kGroupBoxPadding on every side.
    static constexpr int kGroupBoxPadding = 12;
    static RoundedPanel *groupBox(QWidget *parent = nullptr);

    void setFill(const QColor &color);
    void setStroke(const QColor &color, qreal width = 1.0);
    void setRadius(qreal radius);

    QColor fill() const;
    QColor stroke() const { return m_stroke; }
    qreal radius() const { return m_radius; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_groupBoxFill = false;
    QColor m_fill = Qt::transparent;
    QColor m_stroke = Qt::transparent;
    qreal m_strokeWidth = 0.0;
    qreal m_radius = 8.0;
};
