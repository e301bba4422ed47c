#pragma once

#include "DockLayout.h"

#include <QString>
#include <QStringList>

class LocalizationManager;

// How a Dock difference reads to a person, in the interface language. App and folder names come
// from the shared folder: callers show every result as plain text.
namespace DockChangeText {

// One line: "+Xcode, −Notes, tile size" (long lists end in "…").
QString summary(const DockDifference &difference, const LocalizationManager *locManager);

// One line per kind of change, for the confirmations that list them.
QStringList details(const DockDifference &difference, const LocalizationManager *locManager);

// "Air, 7 Dec 2026, 05:03": who shared the Dock and when; empty when neither is known.
QString pushedBy(const DockDifference &difference, const LocalizationManager *locManager);

// "This Mac keeps its own look: tile size" when look differences stay local; empty otherwise.
QString lookKeptLocal(const DockDifference &difference, const LocalizationManager *locManager);

// The name a person knows for a Dock setting ("tilesize" → "tile size").
QString settingName(const QString &key, const LocalizationManager *locManager);

} // namespace DockChangeText
