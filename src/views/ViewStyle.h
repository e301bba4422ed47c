#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QAbstractButton;
class QLabel;
class QPainter;
class QPalette;
class QRectF;
class QPushButton;
class QWidget;

// The look shared by the views: the system colours, fonts in logical pixels and the button styles
// of the macOS original, expressed once for Qt Widgets.
namespace ViewStyle {

// The system colours in the variant for the widget's palette (the application's without one):
// the dark appearance's brighter variants when the window background is dark.
bool isDark(const QPalette &palette);
QColor blue(const QWidget *widget = nullptr);
QColor purple(const QWidget *widget = nullptr);
QColor teal(const QWidget *widget = nullptr);
QColor green(const QWidget *widget = nullptr);
QColor orange(const QWidget *widget = nullptr);
QColor red(const QWidget *widget = nullptr);
QColor gray(const QWidget *widget = nullptr);
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
// Our own texts mark emphasis with **…**: shown bold, everything else escaped. Never for
// untrusted text.
QString emphasisToHtml(const QString &text);
void setEmphasizedText(QLabel *label, const QString &text);

// Button styles: bordered (the platform's push button) and borderless (a flat button showing only
// its icon or text). The prominent style, filled with a tint, is ProminentButton.
void makeBordered(QPushButton *button, int pixelSize = 13);
void makeBorderless(QAbstractButton *button);
void setButtonTextColor(QPushButton *button, const QColor &color);

// A tooltip that is always shown as plain text, whatever the text contains.
void setPlainToolTip(QWidget *widget, const QString &text);

// The keyboard focus of a control painted here: a ring in the accent colour with a light inner
// line, seen on any fill. Drawn inside area, whose corners have radius.
void paintFocusRing(QPainter &painter, const QRectF &area, qreal radius, const QWidget *widget);

// A path for display: the home directory replaced by "~".
QString abbreviatedPath(const QString &path);

} // namespace ViewStyle
