#pragma once

#include <QString>

// This computer's name as the user knows it: on macOS the computer name, on Linux the pretty
// host name; the network host name when there is none. Used unchanged.
QString systemHostName();
