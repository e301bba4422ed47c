#include "MenuRowStyle.h"

#include <QMenu>
#include <QStyleOptionMenuItem>

MenuRowStyle::MenuRowStyle() : QProxyStyle() {}

void MenuRowStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const
{
    const auto *menu = qobject_cast<const QMenu *>(widget);
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (element != CE_MenuItem || !menu || !item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const QAction *action = menu->actionAt(item->rect.center());
    const QVariant tint = action ? action->property(kTintProperty) : QVariant();
    if (!tint.isValid()) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const QColor color = tint.value<QColor>();
    QStyleOptionMenuItem tinted = *item;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::HighlightedText})
            tinted.palette.setColor(group, role, color);
        // Some styles emboss disabled text with the light colour; a tinted row is drawn flat.
        tinted.palette.setColor(group, QPalette::Light, Qt::transparent);
    }
    QProxyStyle::drawControl(element, &tinted, painter, widget);
}
