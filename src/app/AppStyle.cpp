#include "AppStyle.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QWidget>

namespace {

// A double chevron pointing along the bar (down for a vertical one), in the text colour.
class OverflowArrowEngine : public QIconEngine {
public:
    OverflowArrowEngine(bool vertical, QColor color) : m_vertical(vertical), m_color(std::move(color)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal side = std::min(rect.width(), rect.height()) / 16.0;
        QPainterPath chevrons;
        for (const qreal x : {4.0, 9.0}) {
            chevrons.moveTo(x, 4);
            chevrons.lineTo(x + 3.5, 8);
            chevrons.lineTo(x, 12);
        }
        QTransform placement;
        placement.translate(rect.center().x() - 8 * side, rect.center().y() - 8 * side);
        placement.scale(side, side);
        if (m_vertical) {
            placement.translate(16, 0);
            placement.rotate(90);
        }
        QColor color = m_color;
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.4f);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(color, 1.5 * side, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->drawPath(placement.map(chevrons));
        painter->restore();
    }

    QIconEngine *clone() const override { return new OverflowArrowEngine(m_vertical, m_color); }
    QString key() const override { return QStringLiteral("TandrillOverflowArrowEngine"); }

private:
    bool m_vertical;
    QColor m_color;
};

} // namespace

AppStyle::AppStyle() : QProxyStyle(nullptr) {}

QIcon AppStyle::standardIcon(StandardPixmap which, const QStyleOption *option, const QWidget *widget) const
{
    if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton) {
        const QPalette palette = widget ? widget->palette() : standardPalette();
        return QIcon(new OverflowArrowEngine(which == SP_ToolBarVerticalExtensionButton,
                                             palette.color(QPalette::Active, QPalette::ButtonText)));
    }
    return QProxyStyle::standardIcon(which, option, widget);
}
