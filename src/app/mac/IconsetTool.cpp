// Renders the app icon's SVG into a macOS .iconset folder (every size iconutil expects, each also
// at twice the pixels); the build turns the folder into Tandrill.icns with iconutil.
// Usage: tandrill_iconset ICON.svg OUT.iconset

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <array>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: tandrill_iconset ICON.svg OUT.iconset\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    const QString folder = QString::fromLocal8Bit(argv[2]);
    if (!renderer.isValid() || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "tandrill_iconset: cannot read %s or create %s\n", argv[1], argv[2]);
        return 1;
    }
    for (const int size : std::array{16, 32, 128, 256, 512}) {
        for (const int scale : std::array{1, 2}) {
            QImage image(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, QRectF(image.rect()));
            painter.end();
            const QString name =
                QStringLiteral("icon_%1x%1%2.png").arg(size).arg(scale == 2 ? QLatin1String("@2x") : QLatin1String());
            if (!image.save(folder + QLatin1Char('/') + name, "PNG")) {
                std::fprintf(stderr, "tandrill_iconset: cannot write %s\n", qPrintable(name));
                return 1;
            }
        }
    }
    return 0;
}
