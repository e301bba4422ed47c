#include "LocalizationManager.h"
#include "TestEnvironment.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

// The interface language: German by default, switched at run time, kept across starts.
class LocalizationTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshInstallIsGermanAndStoresNothing();
    void toggleStoresEveryTime();
    void twoTogglesReturn();
    void pick_data();
    void pick();
    void unexpectedCodeShowsGermanAndTogglesToGerman();
    void nonTextValueReadsGerman();
    void englishSurvivesARestart();
    void switchTooltip_data();
    void switchTooltip();
    void changesAreAnnounced();

private:
    std::unique_ptr<QSettings> freshSettings();

    std::unique_ptr<QTemporaryDir> m_dir;
};

void LocalizationTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QStringLiteral("/lang-XXXXXX"));
}

void LocalizationTest::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<QSettings> LocalizationTest::freshSettings()
{
    // A new settings object on the same file is what the next start of the app reads.
    return std::make_unique<QSettings>(m_dir->filePath(QStringLiteral("Tandrill.conf")), QSettings::IniFormat);
}

void LocalizationTest::freshInstallIsGermanAndStoresNothing()
{
    auto settings = freshSettings();
    LocalizationManager loc(settings.get());
    QCOMPARE(loc.lang(), QStringLiteral("de"));
    QCOMPARE(loc.pick(QStringLiteral("Beenden"), QStringLiteral("Quit")), QStringLiteral("Beenden"));
    QVERIFY(!settings->contains(LocalizationManager::kLanguageKey));
}

void LocalizationTest::toggleStoresEveryTime()
{
    auto settings = freshSettings();
    LocalizationManager loc(settings.get());
    loc.toggle();
    QCOMPARE(settings->value(LocalizationManager::kLanguageKey).toString(), QStringLiteral("en"));
    // An assignment of the same value is stored too.
    settings->remove(LocalizationManager::kLanguageKey);
    loc.setLang(QStringLiteral("en"));
    QCOMPARE(settings->value(LocalizationManager::kLanguageKey).toString(), QStringLiteral("en"));
}

void LocalizationTest::twoTogglesReturn()
{
    auto settings = freshSettings();
    LocalizationManager loc(settings.get());
    loc.toggle();
    loc.toggle();
    QCOMPARE(loc.lang(), QStringLiteral("de"));
    QCOMPARE(settings->value(LocalizationManager::kLanguageKey).toString(), QStringLiteral("de"));
}

void LocalizationTest::pick_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("expected");
    QTest::newRow("de") << QStringLiteral("de") << QStringLiteral("Einstellungen");
    QTest::newRow("en") << QStringLiteral("en") << QStringLiteral("Settings");
    QTest::newRow("EN is not en") << QStringLiteral("EN") << QStringLiteral("Einstellungen");
    QTest::newRow("fr") << QStringLiteral("fr") << QStringLiteral("Einstellungen");
    QTest::newRow("empty") << QString() << QStringLiteral("Einstellungen");
}

void LocalizationTest::pick()
{
    QFETCH(QString, lang);
    QFETCH(QString, expected);
    auto settings = freshSettings();
    LocalizationManager loc(settings.get());
    loc.setLang(lang);
    QCOMPARE(loc.pick(QStringLiteral("Einstellungen"), QStringLiteral("Settings")), expected);
}

void LocalizationTest::unexpectedCodeShowsGermanAndTogglesToGerman()
{
    auto settings = freshSettings();
    settings->setValue(LocalizationManager::kLanguageKey, QStringLiteral("fr"));
    LocalizationManager loc(settings.get());
    QCOMPARE(loc.lang(), QStringLiteral("fr"));
    QCOMPARE(loc.pick(QStringLiteral("Aktiv"), QStringLiteral("Active")), QStringLiteral("Aktiv"));
    QCOMPARE(loc.switchTooltip(), QStringLiteral("Auf Deutsch wechseln"));
    loc.toggle();
    QCOMPARE(loc.lang(), QStringLiteral("de"));
    QCOMPARE(settings->value(LocalizationManager::kLanguageKey).toString(), QStringLiteral("de"));
}

void LocalizationTest::nonTextValueReadsGerman()
{
    auto settings = freshSettings();
    settings->setValue(LocalizationManager::kLanguageKey, QVariantList{1, 2});
    LocalizationManager loc(settings.get());
    QCOMPARE(loc.lang(), QStringLiteral("de"));
}

void LocalizationTest::englishSurvivesARestart()
{
    {
        auto settings = freshSettings();
        LocalizationManager loc(settings.get());
        loc.toggle();
    }
    auto settings = freshSettings();
    LocalizationManager restarted(settings.get());
    QCOMPARE(restarted.lang(), QStringLiteral("en"));
}

void LocalizationTest::switchTooltip_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("expected");
    QTest::newRow("de") << QStringLiteral("de") << QStringLiteral("Switch to English");
    QTest::newRow("en") << QStringLiteral("en") << QStringLiteral("Auf Deutsch wechseln");
    QTest::newRow("other") << QStringLiteral("xx") << QStringLiteral("Auf Deutsch wechseln");
}

void LocalizationTest::switchTooltip()
{
    QFETCH(QString, lang);
    QFETCH(QString, expected);
    auto settings = freshSettings();
    LocalizationManager loc(settings.get());
    loc.setLang(lang);
    QCOMPARE(loc.switchTooltip(), expected);
}

void LocalizationTest::changesAreAnnounced()
{
    auto settings = freshSettings();
    LocalizationManager loc(settings.get());
    QSignalSpy spy(&loc, &LocalizationManager::langChanged);
    loc.toggle();
    loc.toggle();
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("en"));
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("de"));
}

TANDRILL_TEST_MAIN(LocalizationTest)
#include "tst_localization.moc"
