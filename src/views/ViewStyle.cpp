#include "ViewStyle.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>

namespace ViewStyle {

// The macOS system colours in light appearance.
QColor blue()
{
    return QColor(0, 122, 255);
}
QColor purple()
{
    return QColor(175, 82, 222);
}
QColor teal()
{
    return QColor(48, 176, 199);
}
QColor green()
{
    return QColor(52, 199, 89);
}
QColor orange()
{
    return QColor(255, 149, 0);
}
QColor red()
{
    return QColor(255, 59, 48);
}
QColor gray()
{
    return QColor(142, 142, 147);
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
    QFont result = design == Design::Monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont();
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

void makeBordered(QPushButton *button, int pixelSize)
{
    button->setFont(font(pixelSize));
    button->setAutoDefault(false);
}

void makeProminent(QPushButton *button, const QColor &tint, int pixelSize)
{
    button->setFont(font(pixelSize));
    button->setAutoDefault(false);
    const auto rgba = [](const QColor &color) {
        return QStringLiteral("rgba(%1, %2, %3, %4)")
            .arg(color.red())
            .arg(color.green())
            .arg(color.blue())
            .arg(color.alphaF(), 0, 'f', 2);
    };
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: white; background-color: %1; border: none;"
                       " border-radius: 5px; padding: 4px 12px; }"
                       "QPushButton:hover { background-color: %2; }"
                       "QPushButton:pressed { background-color: %3; }"
                       "QPushButton:disabled { background-color: %4;"
                       " color: rgba(255, 255, 255, 0.8); }")
            .arg(rgba(tint), rgba(tint.lighter(108)), rgba(tint.darker(115)), rgba(withOpacity(tint, 0.35))));
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
