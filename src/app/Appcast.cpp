#include "Appcast.h"

#include "VersionComparator.h"

#include <QXmlStreamReader>

namespace {
bool isSparkle(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.namespaceUri() == Appcast::kSparkleNamespace && xml.name() == name;
}

QString sparkleAttribute(const QXmlStreamAttributes &attributes, QLatin1StringView name)
{
    return attributes.value(Appcast::kSparkleNamespace, name).toString().trimmed();
}

struct ItemReader {
    AppcastItem item;
    QUrl enclosure;
    bool otherSystem = false;

    void read(QXmlStreamReader &xml)
    {
        while (xml.readNextStartElement()) {
            if (isSparkle(xml, QLatin1StringView("version"))) {
                item.version = xml.readElementText().trimmed();
            } else if (isSparkle(xml, QLatin1StringView("shortVersionString"))) {
                item.displayVersion = xml.readElementText().trimmed();
            } else if (xml.namespaceUri().isEmpty() && xml.name() == QLatin1StringView("link")) {
                item.downloadPage = QUrl(xml.readElementText().trimmed());
            } else if (xml.namespaceUri().isEmpty() && xml.name() == QLatin1StringView("enclosure")) {
                readEnclosure(xml.attributes());
                xml.skipCurrentElement();
            } else {
                xml.skipCurrentElement();
            }
        }
    }

    void readEnclosure(const QXmlStreamAttributes &attributes)
    {
        enclosure = QUrl(attributes.value(QLatin1StringView("url")).toString().trimmed());
        if (item.version.isEmpty())
            item.version = sparkleAttribute(attributes, QLatin1StringView("version"));
        if (item.displayVersion.isEmpty())
            item.displayVersion = sparkleAttribute(attributes, QLatin1StringView("shortVersionString"));
        const QString os = sparkleAttribute(attributes, QLatin1StringView("os"));
        otherSystem = !os.isEmpty() && os != QLatin1String("linux");
    }

    std::optional<AppcastItem> result() const
    {
        if (item.version.isEmpty() || otherSystem)
            return std::nullopt;
        AppcastItem done = item;
        if (done.displayVersion.isEmpty())
            done.displayVersion = done.version;
        if (!done.downloadPage.isValid() || done.downloadPage.isEmpty())
            done.downloadPage = enclosure;
        return done;
    }
};
} // namespace

std::optional<QList<AppcastItem>> Appcast::parse(const QByteArray &feed, QString *error)
{
    QXmlStreamReader xml(feed);
    QList<AppcastItem> items;
    bool sawChannel = false;
    if (!xml.readNextStartElement() || xml.name() != QLatin1StringView("rss")) {
        if (error)
            *error = xml.hasError() ? xml.errorString() : QStringLiteral("not an RSS feed");
        return std::nullopt;
    }
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1StringView("channel")) {
            xml.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1StringView("item")) {
                ItemReader reader;
                reader.read(xml);
                if (const auto item = reader.result())
                    items.append(*item);
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    if (xml.hasError() || !sawChannel) {
        if (error)
            *error = xml.hasError() ? xml.errorString() : QStringLiteral("the feed has no channel");
        return std::nullopt;
    }
    return items;
}

std::optional<AppcastItem> Appcast::newest(const QList<AppcastItem> &items)
{
    std::optional<AppcastItem> best;
    for (const AppcastItem &item : items) {
        if (!best || VersionComparator::compare(item.version, best->version) > 0)
            best = item;
    }
    return best;
}
