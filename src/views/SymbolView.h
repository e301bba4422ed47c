#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

// One symbol (see SymbolIcons) drawn at a size in logical pixels and in one colour.
class SymbolView : public QWidget {
    Q_OBJECT

public:
    SymbolView(const QString &symbol, int size, const QColor &color, QWidget *parent = nullptr);

    void setSymbol(const QString &symbol);
    void setColor(const QColor &color);
    void setFrameWidth(int width); // a wider frame keeps rows of symbols aligned

    QString symbol() const { return m_symbol; }
    QColor color() const { return m_color; }
    int symbolSize() const { return m_size; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    int m_size;
    int m_frameWidth;
    QColor m_color;
    QImage m_cache;
};
