#include "ViewStyle.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>

namespace ViewStyle {

namespace {
QPalette paletteOf(const QWidget *widget)
{
    return widget ? widget->palette() : QGuiApplication::palette();
}

// The macOS system colours: light appearance first, dark second.
QColor systemColor(const QWidget *widget, QRgb light, QRgb dark)
{
    return QColor::fromRgb(isDark(paletteOf(widget)) ? dark : light);
}
} // namespace

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
}

QColor blue(const QWidget *widget)
{
    return systemColor(widget, qRgb(0, 122, 255), qRgb(10, 132, 255));
}
QColor purple(const QWidget *widget)
{
    return systemColor(widget, qRgb(175, 82, 222), qRgb(191, 90, 242));
}
QColor teal(const QWidget *widget)
{
    return systemColor(widget, qRgb(48, 176, 199), qRgb(64, 200, 224));
}
QColor green(const QWidget *widget)
{
    return systemColor(widget, qRgb(52, 199, 89), qRgb(48, 209, 88));
}
QColor orange(const QWidget *widget)
{
    return systemColor(widget, qRgb(255, 149, 0), qRgb(255, 159, 10));
}
QColor red(const QWidget *widget)
{
    return systemColor(widget, qRgb(255, 59, 48), qRgb(255, 69, 58));
}
QColor gray(const QWidget *widget)
{
    return systemColor(widget, qRgb(142, 142, 147), qRgb(152, 152, 157));
}

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QColor primaryText(const QWidget *widget)
{
    return widget->palette().color(QPalette::Active, QPalette::WindowText);
}

QColor secondaryText(const QWidget *widget)
{
    return withOpacity(primaryText(widget), 0.55);
}

QColor tertiaryText(const QWidget *widget)
{
    return withOpacity(primaryText(widget), 0.3);
}

QColor controlBackground(const QWidget *widget)
{
    return widget->palette().color(QPalette::Active, QPalette::Base);
}

QColor groupBoxFill(const QWidget *widget)
{
    return withOpacity(primaryText(widget), 0.045);
}

QFont font(int pixelSize, QFont::Weight weight, Design design)
{
    // Every font derives from one of two bases, asked of the system once: the font database is
    // costly to query, and derived fonts share the bases' resolved family.
    static const QFont base;
    static const QFont fixedBase = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QFont result = design == Design::Monospaced ? fixedBase : base;
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

QLabel *label(QWidget *parent, int pixelSize, QFont::Weight weight, Design design)
{
    auto *result = new QLabel(parent);
    result->setTextFormat(Qt::PlainText);
    result->setFont(font(pixelSize, weight, design));
    return result;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QString emphasisToHtml(const QString &text)
{
    const QStringList parts = text.split(QStringLiteral("**"));
    QString html;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        // Odd parts lie between a pair of markers; a lone marker at the end stays as typed.
        const bool bold = i % 2 == 1 && i + 1 < parts.size();
        const QString escaped = parts[i].toHtmlEscaped();
        if (bold)
            html += QStringLiteral("<b>") + escaped + QStringLiteral("</b>");
        else
            html += (i % 2 == 1 ? QStringLiteral("**") : QString()) + escaped;
    }
    return html;
}

void setEmphasizedText(QLabel *label, const QString &text)
{
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setText(emphasisToHtml(text));
}

void makeBordered(QPushButton *button, int pixelSize)
{
    button->setFont(font(pixelSize));
    button->setAutoDefault(false);
}

void makeBorderless(QAbstractButton *button)
{
    if (auto *tool = qobject_cast<QToolButton *>(button))
        tool->setAutoRaise(true);
    else if (auto *push = qobject_cast<QPushButton *>(button))
        push->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
}

void setButtonTextColor(QPushButton *button, const QColor &color)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    button->setPalette(palette);
}

void setPlainToolTip(QWidget *widget, const QString &text)
{
    // Qt guesses the format of a tooltip; a host name like "<b>" must not turn into markup.
    widget->setToolTip(Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text);
}

QString abbreviatedPath(const QString &path)
{
    const QString home = QDir::homePath();
    if (home.isEmpty() || home == QLatin1String("/"))
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

} // namespace ViewStyle

void ViewStyle::paintFocusRing(QPainter &painter, const QRectF &area, qreal radius, const QWidget *widget)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(widget->palette().color(QPalette::Active, QPalette::Highlight), 2.0));
    painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), radius, radius);
    const qreal inner = std::max<qreal>(radius - 2, 0);
    painter.setPen(QPen(QColor(255, 255, 255, 190), 1.0));
    painter.drawRoundedRect(area.adjusted(2.5, 2.5, -2.5, -2.5), inner, inner);
    painter.restore();
}
