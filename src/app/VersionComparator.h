#pragma once

#include <QString>

// Orders version strings the way Sparkle's standard comparator does, so an appcast written for
// Sparkle means the same here: "1.10" is newer than "1.9", "1.0" newer than "1.0b2", and
// trailing zero parts do not count ("1.0" equals "1.0.0").
class VersionComparator {
public:
    // Negative when a is older than b, zero when equal, positive when a is newer.
    static int compare(const QString &a, const QString &b);
};
