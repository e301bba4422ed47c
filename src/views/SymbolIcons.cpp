#include "SymbolIcons.h"

#include "DrawnIconEngine.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <cmath>

// The icons are compiled into the views' library (resources/breeze.qrc); a static library's
// resources are registered only when something asks for them.
static void registerBreezeResources()
{
    Q_INIT_RESOURCE(breeze);
}

namespace {

struct SymbolMapping {
    QLatin1StringView symbol;
    QLatin1StringView file; // relative to the Breeze theme directory
    bool ownColours = false;
};

// Breeze draws most of these as outlines; where SF Symbols has a filled form and Breeze has none,
// the outline stands in.
constexpr std::array kMappings{
    SymbolMapping{QLatin1StringView("arrow.clockwise"), QLatin1StringView("actions/22/view-refresh.svg")},
    SymbolMapping{QLatin1StringView("arrow.down.circle.fill"), QLatin1StringView("actions/22/cloud-download.svg")},
    SymbolMapping{QLatin1StringView("arrow.down.to.line"), QLatin1StringView("actions/22/cloud-download.svg")},
    SymbolMapping{QLatin1StringView("arrow.triangle.2.circlepath"),
                  QLatin1StringView("actions/symbolic/view-refresh-symbolic.svg")},
    SymbolMapping{QLatin1StringView("arrow.up.circle.fill"), QLatin1StringView("actions/22/cloud-upload.svg")},
    SymbolMapping{QLatin1StringView("arrow.up.to.line"), QLatin1StringView("actions/22/cloud-upload.svg")},
    SymbolMapping{QLatin1StringView("checkmark"), QLatin1StringView("actions/22/answer-correct.svg")},
    SymbolMapping{QLatin1StringView("checkmark.circle.fill"), QLatin1StringView("emblems/22/emblem-success.svg"), true},
    SymbolMapping{QLatin1StringView("clock"), QLatin1StringView("actions/22/clock.svg")},
    SymbolMapping{QLatin1StringView("clock.arrow.circlepath"), QLatin1StringView("actions/22/backup.svg")},
    SymbolMapping{QLatin1StringView("desktopcomputer"), QLatin1StringView("devices/symbolic/computer-symbolic.svg")},
    SymbolMapping{QLatin1StringView("doc.text"), QLatin1StringView("mimetypes/22/text-plain.svg")},
    SymbolMapping{QLatin1StringView("exclamationmark.triangle.fill"), QLatin1StringView("status/22/data-warning.svg"),
                  true},
    SymbolMapping{QLatin1StringView("folder"), QLatin1StringView("places/22/folder.svg")},
    SymbolMapping{QLatin1StringView("folder.badge.gearshape"), QLatin1StringView("actions/22/folder-sync.svg")},
    SymbolMapping{QLatin1StringView("folder.fill"), QLatin1StringView("places/symbolic/folder-symbolic.svg")},
    SymbolMapping{QLatin1StringView("gearshape"), QLatin1StringView("emblems/symbolic/emblem-system-symbolic.svg")},
    SymbolMapping{QLatin1StringView("gearshape.2"), QLatin1StringView("emblems/symbolic/emblem-system-symbolic.svg")},
    SymbolMapping{QLatin1StringView("hand.tap"), QLatin1StringView("actions/22/hand.svg")},
    SymbolMapping{QLatin1StringView("icloud"), QLatin1StringView("places/22/folder-cloud.svg")},
    SymbolMapping{QLatin1StringView("icloud.fill"), QLatin1StringView("places/22/folder-cloud.svg")},
    SymbolMapping{QLatin1StringView("info.circle"), QLatin1StringView("actions/symbolic/help-about-symbolic.svg")},
    SymbolMapping{QLatin1StringView("laptopcomputer"), QLatin1StringView("devices/22/computer-laptop.svg")},
    SymbolMapping{QLatin1StringView("play.fill"), QLatin1StringView("actions/22/media-playback-start.svg")},
    SymbolMapping{QLatin1StringView("plus.circle.dashed"), QLatin1StringView("actions/22/list-add.svg")},
    SymbolMapping{QLatin1StringView("square.grid.2x2"), QLatin1StringView("actions/22/view-list-icons.svg")},
    SymbolMapping{QLatin1StringView("stop.fill"), QLatin1StringView("actions/22/media-playback-stop.svg")},
    SymbolMapping{QLatin1StringView("tag"), QLatin1StringView("actions/symbolic/tag-symbolic.svg")},
    SymbolMapping{QLatin1StringView("trash"), QLatin1StringView("actions/22/edit-delete.svg")},
    SymbolMapping{QLatin1StringView("wand.and.stars"), QLatin1StringView("actions/22/tools-wizard.svg")},
    SymbolMapping{QLatin1StringView("wifi"), QLatin1StringView("devices/symbolic/network-wireless-symbolic.svg")},
    SymbolMapping{QLatin1StringView("xmark.circle"), QLatin1StringView("actions/22/window-close.svg")},
    SymbolMapping{QLatin1StringView("xmark.circle.fill"), QLatin1StringView("actions/22/window-close.svg")},
};

const SymbolMapping *mappingFor(const QString &symbol)
{
    for (const auto &mapping : kMappings) {
        if (mapping.symbol == symbol)
            return &mapping;
    }
    return nullptr;
}

QString themeFile(QLatin1StringView relative)
{
    static const bool registered = (registerBreezeResources(), true);
    Q_UNUSED(registered)
    return QLatin1StringView(":/tandrill/breeze/") + relative;
}

// Every view draws the same few symbols at the same few sizes: each is rendered once and shared.
class RenderCache {
public:
    static constexpr qsizetype kMaxEntries = 512; // far above what the views use; a bound all the same

    QImage find(const QString &key)
    {
        QMutexLocker locker(&m_mutex);
        return m_images.value(key);
    }

    void insert(const QString &key, const QImage &image)
    {
        QMutexLocker locker(&m_mutex);
        if (m_images.size() >= kMaxEntries)
            m_images.clear();
        m_images.insert(key, image);
    }

private:
    QMutex m_mutex;
    QHash<QString, QImage> m_images;
};

RenderCache &renderCache()
{
    static RenderCache cache;
    return cache;
}

QImage renderUncached(const SymbolMapping &mapping, QSize pixels, const QColor &color, qreal ratio)
{
    QSvgRenderer renderer(themeFile(mapping.file));
    if (!renderer.isValid())
        return {};
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    if (mapping.ownColours) {
        // Keep the icon's colours; take only the requested opacity.
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(image.rect(), QColor(0, 0, 0, color.alpha()));
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    painter.end();
    image.setDevicePixelRatio(ratio);
    return image;
}

// The symbol `pixels` device pixels large, for `ratio` device pixels per logical one; kept.
QImage renderPixels(const QString &symbol, QSize pixels, const QColor &color, qreal ratio)
{
    const SymbolMapping *mapping = mappingFor(symbol);
    if (!mapping || pixels.isEmpty())
        return {};
    const QString key = symbol + QLatin1Char('|') + QString::number(pixels.width()) + QLatin1Char('x') +
                        QString::number(pixels.height()) + QLatin1Char('|') + QString::number(color.rgba()) +
                        QLatin1Char('|') + QString::number(ratio);
    QImage image = renderCache().find(key);
    if (image.isNull()) {
        image = renderUncached(*mapping, pixels, color, ratio);
        if (!image.isNull())
            renderCache().insert(key, image);
    }
    return image;
}

QImage render(const QString &symbol, QSize size, const QColor &color, qreal devicePixelRatio)
{
    const qreal ratio = std::max<qreal>(devicePixelRatio, 1.0);
    return renderPixels(symbol,
                        QSize(static_cast<int>(std::ceil(size.width() * ratio)),
                              static_cast<int>(std::ceil(size.height() * ratio))),
                        color, ratio);
}

// Renders the tinted symbol at whatever size and scale a button asks for.
class TintedSymbolEngine : public DrawnIconEngine {
public:
    TintedSymbolEngine(QString symbol, QColor color)
        : DrawnIconEngine(Shape::Square), m_symbol(std::move(symbol)), m_color(color)
    {
    }

    QIconEngine *clone() const override { return new TintedSymbolEngine(m_symbol, m_color); }
    QString key() const override { return QStringLiteral("TintedSymbolEngine"); }
    bool isNull() override { return SymbolIcons::iconFile(m_symbol).isEmpty(); }

protected:
    QPixmap draw(QSize pixels, qreal scale, QIcon::Mode mode) override
    {
        const QImage image = renderPixels(m_symbol, pixels, colorFor(mode), scale);
        return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
    }

private:
    QColor colorFor(QIcon::Mode mode) const
    {
        QColor color = m_color;
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.35f);
        return color;
    }

    QString m_symbol;
    QColor m_color;
};

} // namespace

namespace SymbolIcons {

QString iconFile(const QString &symbol)
{
    const SymbolMapping *mapping = mappingFor(symbol);
    return mapping ? themeFile(mapping->file) : QString();
}

QStringList symbols()
{
    QStringList names;
    for (const auto &mapping : kMappings)
        names.append(QString(mapping.symbol));
    return names;
}

QImage image(const QString &symbol, int size, const QColor &color, qreal devicePixelRatio)
{
    return render(symbol, QSize(size, size), color, devicePixelRatio);
}

QIcon icon(const QString &symbol, const QColor &color)
{
    return QIcon(new TintedSymbolEngine(symbol, color));
}

} // namespace SymbolIcons
