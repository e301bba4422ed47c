#pragma once

#include <QString>

// Whether an executable is the main program of a macOS application bundle
// (Something.app/Contents/MacOS/Program). Services that register "this app" with the system, the
// login item among them, need the bundle: a bare binary started from a build folder has none.
bool isAppBundleExecutable(const QString &executablePath);
