#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// One release in an appcast feed.
struct AppcastItem {
    QString version;        // sparkle:version, compared with the app's version
    QString displayVersion; // sparkle:shortVersionString, else the version
    QUrl downloadPage;      // the item's link, else its enclosure
};

// Sparkle's appcast format: an RSS 2.0 feed whose items carry sparkle:version (as an element or
// on the enclosure), sparkle:shortVersionString and a link or enclosure. Items marked for
// another system (sparkle:os other than "linux") are left out.
class Appcast {
public:
    static constexpr QLatin1StringView kSparkleNamespace{"http://www.andymatuschak.org/xml-namespaces/sparkle"};

    // None when the feed is not well-formed RSS; the reason goes to *error.
    static std::optional<QList<AppcastItem>> parse(const QByteArray &feed, QString *error);
    // The item with the highest version; none for an empty list.
    static std::optional<AppcastItem> newest(const QList<AppcastItem> &items);
};
