#include "StatusIcon.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>

QImage StatusIcon::image(int size, const QColor &color)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QFont font;
    font.setBold(true);
    // Two capitals fill the square's width, as the 12-point title fills the macOS menu bar.
    font.setPixelSize(std::max(6, size * 58 / 100));
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("TR"));
    return image;
}

QIcon StatusIcon::render(const QColor &color)
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(image(size, color)));
    return icon;
}
