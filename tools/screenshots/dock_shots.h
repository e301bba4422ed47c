#pragma once

#include <QString>

// Renders the Dock views in `lang`, light and dark, into outDir; root holds the simulated Macs.
void shootDockViews(const QString &outDir, const QString &lang, const QString &root);
