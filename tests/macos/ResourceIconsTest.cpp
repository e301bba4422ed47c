#include "SymbolIcons.h"
#include "TestEnvironment.h"
#include "TestMain.h"

#include <QDir>
#include <QIcon>
#include <QtTest>

// The views' symbols come from the app itself: no icon theme is installed on a Mac.
class ResourceIconsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Hide every installed icon theme from this process.
        const QString empty = TestEnvironment::root() + QLatin1String("/no-icon-themes");
        QVERIFY(QDir().mkpath(empty));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(empty));
        qputenv("XDG_DATA_HOME", QFile::encodeName(empty));
        QIcon::setThemeSearchPaths({});
        QIcon::setFallbackSearchPaths({});
    }

    void everySymbolDrawsFromResources()
    {
        const QStringList symbols = SymbolIcons::symbols();
        QVERIFY(symbols.size() > 20);
        for (const QString &symbol : symbols) {
            QVERIFY2(SymbolIcons::iconFile(symbol).startsWith(QLatin1String(":/")), qPrintable(symbol));
            const QImage image = SymbolIcons::image(symbol, 16, Qt::black, 2.0);
            QVERIFY2(image.size() == QSize(32, 32), qPrintable(symbol));
            int inked = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    inked += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
            QVERIFY2(inked > 10, qPrintable(symbol)); // something was drawn
        }
        QVERIFY(!SymbolIcons::icon(QStringLiteral("trash"), Qt::black).pixmap(22, 22).isNull());
    }

    void oneRenderingIsShared()
    {
        const QImage first = SymbolIcons::image(QStringLiteral("folder"), 18, Qt::blue, 1.0);
        QCOMPARE(SymbolIcons::image(QStringLiteral("folder"), 18, Qt::blue, 1.0).cacheKey(), first.cacheKey());
        QVERIFY(SymbolIcons::image(QStringLiteral("folder"), 18, Qt::red, 1.0).cacheKey() != first.cacheKey());
        QCOMPARE(SymbolIcons::image(QStringLiteral("folder"), 18, Qt::blue, 2.0).size(), QSize(36, 36));
    }
};

TANDRILL_TEST_CLASS(ResourceIconsTest)
#include "ResourceIconsTest.moc"
