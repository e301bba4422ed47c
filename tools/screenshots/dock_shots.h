#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>

class CoordinatorHarness;
class QWidget;

// What both screenshot sets share: the window's size, this Mac's sync folder, times and the writing.
inline constexpr QSize kShotWindowSize(600, 780);

// Makes this Mac's home the user's home, so its paths show with "~" as they would on a real Mac,
// and returns the sync folder in its iCloud Drive.
QString cloudFolder(CoordinatorHarness &mac);

QDateTime at(const QString &text); // "yyyy-MM-dd HH:mm:ss"

// Writes the widget as it looks now to outDir/name.png and prints the path.
void writeShot(QWidget *widget, const QString &outDir, const QString &name);

// Renders the Dock views in `lang`, light and dark, into outDir; root holds the simulated Macs.
void shootDockViews(const QString &outDir, const QString &lang, const QString &root);

// Renders the folder-missing state (window and tray), a joining Mac's conflict banner, the pull
// question with a long list and the restore question in `lang`.
void shootStates(const QString &outDir, const QString &lang, const QString &root);
