#include "LanguageButton.h"

#include "LocalizationManager.h"
#include "ViewStyle.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#ifdef TANDRILL_DRAWN_FLAGS
#include "DrawnIconEngine.h"

#include <QPainterPath>
#include <QSvgRenderer>
#endif

namespace {
// Regional indicator pairs: G B is the Union Jack, D E the German flag.
const QString kBritishFlag = QStringLiteral("\U0001F1EC\U0001F1E7");
const QString kGermanFlag = QStringLiteral("\U0001F1E9\U0001F1EA");
constexpr int kHorizontalPadding = 2;

#ifdef TANDRILL_DRAWN_FLAGS
// The size of the flag glyph at the button's 20-pixel font.
constexpr QSize kFlagSize(20, 15);

// A flag from the app's resources, drawn at the size and scale asked for; the last drawing is kept.
class FlagEngine : public DrawnIconEngine {
public:
    explicit FlagEngine(QString file) : DrawnIconEngine(Shape::Fill), m_file(std::move(file)) {}

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {kFlagSize}; }
    QIconEngine *clone() const override { return new FlagEngine(m_file); }
    QString key() const override { return QStringLiteral("TandrillFlagEngine"); }

protected:
    QPixmap draw(QSize pixels, qreal scale, QIcon::Mode) override
    {
        if (m_drawn.size() != pixels) {
            QPixmap drawn(pixels);
            drawn.fill(Qt::transparent);
            QPainter painter(&drawn);
            painter.setRenderHint(QPainter::Antialiasing);
            // Rounded a little at the corners, like the emoji it stands for.
            QPainterPath outline;
            const qreal radius = 1.5 * scale;
            outline.addRoundedRect(QRectF(drawn.rect()), radius, radius);
            painter.setClipPath(outline);
            QSvgRenderer(m_file).render(&painter, QRectF(drawn.rect()));
            painter.end();
            m_drawn = drawn;
        }
        return m_drawn;
    }

private:
    QString m_file;
    QPixmap m_drawn;
};

QIcon flagIcon(bool british)
{
    return QIcon(new FlagEngine(british ? QStringLiteral(":/tandrill/flags/gb.svg")
                                        : QStringLiteral(":/tandrill/flags/de.svg")));
}
#endif
} // namespace

LanguageButton::LanguageButton(LocalizationManager *locManager, QWidget *parent)
    : QAbstractButton(parent), m_locManager(locManager)
{
    setObjectName(QStringLiteral("languageButton"));
    setCursor(Qt::PointingHandCursor);
#ifdef TANDRILL_DRAWN_FLAGS
    setIconSize(kFlagSize);
#else
    setFont(ViewStyle::font(20));
#endif
    connect(this, &QAbstractButton::clicked, m_locManager, &LocalizationManager::toggle);
    connect(m_locManager, &LocalizationManager::langChanged, this, &LanguageButton::render);
    render();
}

void LanguageButton::render()
{
    const bool british = m_locManager->lang() == QLatin1String("de");
#ifdef TANDRILL_DRAWN_FLAGS
    // Drawn, not typed: the flag glyphs would load a colour-emoji font of several MiB for two
    // characters. The emoji stay the button's name for assistive tools.
    setIcon(flagIcon(british));
    setAccessibleName(british ? kBritishFlag : kGermanFlag);
#else
    setText(british ? kBritishFlag : kGermanFlag);
#endif
    setToolTip(m_locManager->switchTooltip());
}

QSize LanguageButton::sizeHint() const
{
    ensurePolished();
    // The flag with the room a push button keeps beside an icon, or the flag glyph's own box.
    const QSize face = text().isEmpty() ? QSize(iconSize().width() + 4, iconSize().height())
                                        : fontMetrics().size(Qt::TextShowMnemonic, text());
    return {face.width() + 2 * kHorizontalPadding, face.height()};
}

void LanguageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect face = rect().adjusted(kHorizontalPadding, 0, -kHorizontalPadding, 0);
    if (!icon().isNull()) {
        const QSize size = iconSize();
        icon().paint(&painter, QRect(face.x() + (face.width() - size.width()) / 2,
                                     face.y() + (face.height() - size.height()) / 2, size.width(), size.height()));
    } else {
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(face, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
    if (hasFocus())
        ViewStyle::paintFocusRing(painter, QRectF(rect()), 6, this);
}
