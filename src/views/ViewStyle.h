#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QAbstractButton;
class QLabel;
class QPushButton;
class QWidget;

// The look shared by the views: the system colours, fonts in logical pixels and the button styles
// of the macOS original, expressed once for Qt Widgets.
namespace ViewStyle {

QColor blue();
QColor purple();
QColor teal();
QColor green();
QColor orange();
QColor red();
QColor gray();
QColor withOpacity(QColor color, qreal opacity);

// Text colours derived from the widget's palette, so they follow light and dark appearance.
QColor primaryText(const QWidget *widget);
QColor secondaryText(const QWidget *widget);
QColor tertiaryText(const QWidget *widget);
QColor controlBackground(const QWidget *widget); // the background of text fields and lists
QColor groupBoxFill(const QWidget *widget);

enum class Design { Default, Monospaced };

// The system font at `pixelSize` logical pixels.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal, Design design = Design::Default);

// A label that shows its text as typed (never as rich text) in the given font and colour.
QLabel *label(QWidget *parent, int pixelSize, QFont::Weight weight = QFont::Normal, Design design = Design::Default);
void setTextColor(QWidget *widget, const QColor &color);

// Button styles: bordered (the platform's push button), prominent (filled with a tint) and
// borderless (a flat button showing only its icon or text).
void makeBordered(QPushButton *button, int pixelSize = 13);
void makeProminent(QPushButton *button, const QColor &tint, int pixelSize = 13);
void makeBorderless(QAbstractButton *button);
void setButtonTextColor(QPushButton *button, const QColor &color);

// A tooltip that is always shown as plain text, whatever the text contains.
void setPlainToolTip(QWidget *widget, const QString &text);

// A path for display: the home directory replaced by "~".
QString abbreviatedPath(const QString &path);

} // namespace ViewStyle
