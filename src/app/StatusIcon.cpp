#include "StatusIcon.h"

#include "DrawnIconEngine.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

// The title drawn at the size a tray asks for, when it asks: trays take one or two of the sizes
// offered, and every size drawn ahead would cost a font of its own.
class StatusIconEngine : public DrawnIconEngine {
public:
    explicit StatusIconEngine(QColor color) : DrawnIconEngine(Shape::Square), m_color(std::move(color)) {}

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : {16, 22, 24, 32, 48, 64})
            sizes.append(QSize(side, side));
        return sizes;
    }

    QIconEngine *clone() const override { return new StatusIconEngine(m_color); }
    QString key() const override { return QStringLiteral("TandrillStatusIconEngine"); }

protected:
    QPixmap draw(QSize pixels, qreal, QIcon::Mode) override
    {
        return QPixmap::fromImage(StatusIcon::image(pixels.width(), m_color));
    }

private:
    QColor m_color;
};

} // namespace

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

QIcon StatusIcon::render(const QColor &color, bool mask)
{
    QIcon icon(new StatusIconEngine(color));
    icon.setIsMask(mask);
    return icon;
}
