#include "TestMain.h"
#include "platform/AppBundle.h"

#include <QFile>
#include <QXmlStreamReader>
#include <QtTest>

// What the macOS layer decides in portable code, and the bundle's property list as configured.
class MacLayerTest : public QObject {
    Q_OBJECT

private slots:
    void bundleExecutable_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("bundled");
        QTest::newRow("installed app") << "/Applications/Tandrill.app/Contents/MacOS/Tandrill" << true;
        QTest::newRow("build folder bundle") << "/src/build/bin/Tandrill.app/Contents/MacOS/Tandrill" << true;
        QTest::newRow("path not yet clean") << "/Applications/Tandrill.app/Contents/./MacOS//Tandrill" << true;
        QTest::newRow("bare binary") << "/src/build/bin/tandrill" << false;
        QTest::newRow("helper in Resources") << "/Applications/Tandrill.app/Contents/Resources/Tandrill" << false;
        QTest::newRow("folder named .app only") << "/x/.app/Contents/MacOS/Tandrill" << false;
        QTest::newRow("not an app folder") << "/x/Tandrill/Contents/MacOS/Tandrill" << false;
        QTest::newRow("too short") << "Contents/MacOS/Tandrill" << false;
        QTest::newRow("empty") << "" << false;
    }

    void bundleExecutable()
    {
        QFETCH(QString, path);
        QFETCH(bool, bundled);
        QCOMPARE(isAppBundleExecutable(path), bundled);
    }

    // A malformed property list leaves a bundle that macOS refuses to open.
    void infoPlistIsWellFormed()
    {
        QFile file(QStringLiteral(TANDRILL_INFO_PLIST));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QMap<QString, QString> values;
        QString key;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("key"))
                key = xml.readElementText();
            else if (xml.name() == QLatin1String("string") && !key.isEmpty())
                values.insert(std::exchange(key, QString()), xml.readElementText());
            else
                key.clear(); // a value of another kind, or an array
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(values.value(QStringLiteral("CFBundleShortVersionString")), QStringLiteral(TANDRILL_VERSION));
        QCOMPARE(values.value(QStringLiteral("LSMinimumSystemVersion")), QStringLiteral("13.5"));
        QVERIFY(!values.value(QStringLiteral("CFBundleIdentifier")).isEmpty());
        QCOMPARE(values.value(QStringLiteral("CFBundleExecutable")), QStringLiteral("Tandrill"));
        QVERIFY(!values.contains(QStringLiteral("LSUIElement"))); // a regular app with its menu
    }
};

TANDRILL_TEST_CLASS(MacLayerTest)
#include "MacLayerTest.moc"
