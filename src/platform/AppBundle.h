#pragma once

#include <QString>

// Whether an executable is the main program of a macOS application bundle
// (Something.app/Contents/MacOS/Program). Services that register "this app" with the system, the
// login item among them, need the bundle: a bare binary started from a build folder has none.
bool isAppBundleExecutable(const QString &executablePath);

// Where a bundle's executable runs from, for the services that care (the login item): not from a
// bundle; translocated (a quarantined download started where it lies runs from a random read-only
// copy below ".../AppTranslocation/"); a bundle elsewhere (Downloads, the mounted disk image); or a
// bundle in /Applications or ~/Applications (or a folder inside them).
enum class BundlePlace { NotABundle, Translocated, OutsideApplications, InApplications };
BundlePlace bundlePlace(const QString &executablePath, const QString &homeDirectory);
