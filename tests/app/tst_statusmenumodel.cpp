#include "LocalizationManager.h"
#include "StatusMenuModel.h"
#include "TestEnvironment.h"

#include <QSettings>
#include <QTemporaryDir>

namespace {
using Row = StatusMenuRow;

// One row as a person reads it: separator, or title | tooltip | on/off | colour.
QString describe(const Row &row)
{
    if (row.kind == Row::Kind::Separator)
        return QStringLiteral("---");
    static const QStringList tints{QStringLiteral("plain"), QStringLiteral("orange"), QStringLiteral("green"),
                                   QStringLiteral("red"), QStringLiteral("secondary")};
    return row.title + QLatin1Char('|') + row.toolTip + QLatin1Char('|') +
           (row.enabled() ? QStringLiteral("on") : QStringLiteral("off")) + QLatin1Char('|') +
           tints.at(static_cast<int>(row.tint));
}

QStringList describe(const QList<Row> &rows)
{
    QStringList lines;
    for (const Row &row : rows)
        lines << describe(row);
    return lines;
}

HostInfo host(const QString &name, const QString &action, const QString &time, bool thisMac = false)
{
    HostInfo info;
    info.hostname = name;
    info.lastAction = action;
    info.lastTime = time;
    info.isThisMac = thisMac;
    return info;
}
} // namespace

// The tray menu's rows, title colour and tooltip for every state the menu distinguishes.
class StatusMenuModelTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fullMenu_data();
    void fullMenu();
    void everyCombination();
    void hostRows_data();
    void hostRows();
    void buttonByPrecedence_data();
    void buttonByPrecedence();
    void missingLanguageGivesGerman();

private:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<LocalizationManager> m_loc;
};

void StatusMenuModelTest::init()
{
    m_root = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QStringLiteral("/model-XXXXXX"));
    m_settings = std::make_unique<QSettings>(m_root->filePath(QStringLiteral("lang.ini")), QSettings::IniFormat);
    m_loc = std::make_unique<LocalizationManager>(m_settings.get());
}

void StatusMenuModelTest::cleanup()
{
    m_loc.reset();
    m_settings.reset();
    m_root.reset();
}

void StatusMenuModelTest::fullMenu_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<bool>("conflict");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("syncing");
    QTest::addColumn<QString>("last");
    QTest::addColumn<bool>("hosts");
    QTest::addColumn<QStringList>("expected");

    const QString quitDe =
        QStringLiteral("Beenden|Tandrill vollständig beenden (Auto-Sync stoppt bis zum nächsten Start)|on|plain");
    const QString quitEn =
        QStringLiteral("Quit|Quit Tandrill completely (Auto-Sync stops until Tandrill is opened again)|on|plain");
    const QString openDe = QStringLiteral("Tandrill öffnen…|Das Tandrill-Einstellungsfenster öffnen|on|plain");
    const QString openEn = QStringLiteral("Open Tandrill…|Open the Tandrill settings window|on|plain");
    const QString sep = QStringLiteral("---");

    QTest::newRow("de, quiet, stopped, no Macs")
        << QStringLiteral("de") << false << false << false << QStringLiteral("—") << false
        << QStringList{
               QStringLiteral("● Auto-Sync gestoppt||off|red"),
               sep,
               QStringLiteral("↑  Dock hochladen (Push)|Dein aktuelles Dock in den iCloud-Ordner hochladen|on|plain"),
               QStringLiteral("↓  Dock herunterladen (Pull)|Das Dock aus dem iCloud-Ordner auf diesen Mac "
                              "übertragen|on|plain"),
               QStringLiteral("↕  Jetzt synchronisieren (Auto)|Tandrill entscheidet: Wer aktueller ist gewinnt. "
                              "Bei Konflikt wird gewarnt.|on|plain"),
               sep,
               QStringLiteral("▶  Auto-Sync starten|Den automatischen Hintergrund-Sync aktivieren|on|plain"),
               sep,
               openDe,
               quitDe};
    QTest::newRow("en, quiet, stopped, no Macs")
        << QStringLiteral("en") << false << false << false << QStringLiteral("—") << false
        << QStringList{
               QStringLiteral("● Auto-Sync stopped||off|red"),
               sep,
               QStringLiteral("↑  Upload Dock (Push)|Upload your current Dock to the iCloud folder|on|plain"),
               QStringLiteral("↓  Download Dock (Pull)|Apply the Dock from the iCloud folder to this Mac|on|plain"),
               QStringLiteral("↕  Sync now (Auto)|Tandrill decides: whichever side is newer wins. Conflicts are "
                              "flagged.|on|plain"),
               sep,
               QStringLiteral("▶  Start Auto-Sync|Enable automatic background sync|on|plain"),
               sep,
               openEn,
               quitEn};
    QTest::newRow("de, conflict, running, syncing, last, Macs")
        << QStringLiteral("de") << true << true << true << QStringLiteral("2024-01-02 03:04:05") << true
        << QStringList{
               QStringLiteral("⚠️  Konflikt erkannt|Dock lokal und remote verändert – Push oder Pull "
                              "wählen|off|orange"),
               sep,
               QStringLiteral("● Auto-Sync aktiv||off|green"),
               QStringLiteral("Zuletzt: 2024-01-02 03:04:05|Zeitpunkt der letzten lokalen "
                              "Dock-Änderung|off|secondary"),
               sep,
               QStringLiteral("⏳ Synchronisiere…||off|plain"),
               sep,
               QStringLiteral("⏸  Auto-Sync stoppen|Den automatischen Hintergrund-Sync deaktivieren|on|plain"),
               sep,
               QStringLiteral("Verbundene Macs:||off|secondary"),
               QStringLiteral("  Studio (dieser Mac)|Letzte Aktion: Push um 2024-01-02 03:04:05|off|plain"),
               QStringLiteral("  Büro|Office-Mini — Letzte Aktion: Online um 2024-01-01 09:00:00|off|plain"),
               sep,
               openDe,
               quitDe};
    QTest::newRow("en, conflict, running, syncing, last, Macs")
        << QStringLiteral("en") << true << true << true << QStringLiteral("2024-01-02 03:04:05") << true
        << QStringList{QStringLiteral("⚠️  Conflict detected|Dock changed locally and remotely – choose Push or "
                                      "Pull|off|orange"),
                       sep,
                       QStringLiteral("● Auto-Sync active||off|green"),
                       QStringLiteral("Last: 2024-01-02 03:04:05|Time of the last local Dock change|off|secondary"),
                       sep,
                       QStringLiteral("⏳ Syncing…||off|plain"),
                       sep,
                       QStringLiteral("⏸  Stop Auto-Sync|Disable automatic background sync|on|plain"),
                       sep,
                       QStringLiteral("Connected Macs:||off|secondary"),
                       QStringLiteral("  Studio (this Mac)|Last action: Push at 2024-01-02 03:04:05|off|plain"),
                       QStringLiteral("  Büro|Office-Mini — Last action: Online at 2024-01-01 09:00:00|off|plain"),
                       sep,
                       openEn,
                       quitEn};
}

void StatusMenuModelTest::fullMenu()
{
    QFETCH(QString, lang);
    QFETCH(bool, conflict);
    QFETCH(bool, running);
    QFETCH(bool, syncing);
    QFETCH(QString, last);
    QFETCH(bool, hosts);
    QFETCH(QStringList, expected);

    m_loc->setLang(lang);
    StatusMenuState state;
    state.conflictDetected = conflict;
    state.daemonRunning = running;
    state.isSyncing = syncing;
    state.lastSyncLocal = last;
    if (hosts) {
        state.connectedHosts = {
            host(QStringLiteral("Studio"), QStringLiteral("push"), QStringLiteral("2024-01-02 03:04:05"), true),
            host(QStringLiteral("Office-Mini"), QStringLiteral("online"), QStringLiteral("2024-01-01 09:00:00"))};
        state.hostCustomNames = {{QStringLiteral("Office-Mini"), QStringLiteral("Büro")}};
    }
    QCOMPARE(describe(StatusMenuModel::rows(state, m_loc.get())), expected);
}

void StatusMenuModelTest::everyCombination()
{
    // Each switch of the table alone adds or swaps exactly its rows, in both languages.
    for (const QString &lang : {QStringLiteral("de"), QStringLiteral("en")}) {
        m_loc->setLang(lang);
        for (int bits = 0; bits < 32; ++bits) {
            StatusMenuState state;
            state.conflictDetected = bits & 1;
            state.daemonRunning = bits & 2;
            state.isSyncing = bits & 4;
            state.lastSyncLocal = bits & 8 ? QStringLiteral("2024-05-06 07:08:09") : QStringLiteral("—");
            if (bits & 16)
                state.connectedHosts = {host(QStringLiteral("A"), QStringLiteral("pull"), QStringLiteral("t1")),
                                        host(QStringLiteral("B"), QStringLiteral("x"), QStringLiteral("t2"))};
            const QList<Row> rows = StatusMenuModel::rows(state, m_loc.get());
            const QStringList lines = describe(rows);
            const QString context = lang + QLatin1Char('/') + QString::number(bits);

            const int expectedCount = 10 + (state.conflictDetected ? 2 : 0) + (bits & 8 ? 1 : 0) +
                                      (state.isSyncing ? -2 : 0) + (bits & 16 ? 4 : 0);
            QVERIFY2(rows.size() == expectedCount, qPrintable(context));
            QVERIFY2(lines.first().contains(QStringLiteral("⚠️  ")) == state.conflictDetected, qPrintable(context));
            const int enabled = static_cast<int>(std::count_if(
                rows.begin(), rows.end(), [](const Row &row) { return row.kind == Row::Kind::Item && row.enabled(); }));
            QVERIFY2(enabled == (state.isSyncing ? 3 : 6), qPrintable(context));
            const int separators = static_cast<int>(std::count_if(
                rows.begin(), rows.end(), [](const Row &row) { return row.kind == Row::Kind::Separator; }));
            QVERIFY2(separators == 3 + (state.conflictDetected ? 1 : 0) + (bits & 16 ? 1 : 0), qPrintable(context));
            // No separator follows another, and the menu ends with the two window items.
            for (qsizetype i = 1; i < lines.size(); ++i)
                QVERIFY2(!(lines[i] == QStringLiteral("---") && lines[i - 1] == QStringLiteral("---")),
                         qPrintable(context));
            QCOMPARE(rows.last().command, Row::Command::Quit);
            QCOMPARE(rows.at(rows.size() - 2).command, Row::Command::OpenWindow);
            const bool hasDaemonToggle = std::any_of(rows.begin(), rows.end(), [&](const Row &row) {
                return row.command == (state.daemonRunning ? Row::Command::StopDaemon : Row::Command::StartDaemon);
            });
            QVERIFY2(hasDaemonToggle, qPrintable(context));
            for (const Row &row : rows) {
                if (row.kind == Row::Kind::Item && !row.enabled())
                    QVERIFY2(row.command == Row::Command::None, qPrintable(context));
            }
        }
    }
}

void StatusMenuModelTest::hostRows_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("named");
    QTest::addColumn<bool>("thisMac");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("push de") << QStringLiteral("de") << QStringLiteral("push") << false << false
                             << QStringLiteral("  Lab's MacBook") << QStringLiteral("Letzte Aktion: Push um T");
    QTest::newRow("pull en this Mac") << QStringLiteral("en") << QStringLiteral("pull") << false << true
                                      << QStringLiteral("  Lab's MacBook (this Mac)")
                                      << QStringLiteral("Last action: Pull at T");
    QTest::newRow("online named en") << QStringLiteral("en") << QStringLiteral("online") << true << false
                                     << QStringLiteral("  Laptop")
                                     << QStringLiteral("Lab's MacBook — Last action: Online at T");
    QTest::newRow("other named de this Mac")
        << QStringLiteral("de") << QStringLiteral("auto") << true << true << QStringLiteral("  Laptop (dieser Mac)")
        << QStringLiteral("Lab's MacBook — Letzte Aktion: Sync um T");
    QTest::newRow("empty action") << QStringLiteral("en") << QString() << false << false
                                  << QStringLiteral("  Lab's MacBook") << QStringLiteral("Last action: Sync at T");
}

void StatusMenuModelTest::hostRows()
{
    QFETCH(QString, lang);
    QFETCH(QString, action);
    QFETCH(bool, named);
    QFETCH(bool, thisMac);
    QFETCH(QString, title);
    QFETCH(QString, toolTip);

    m_loc->setLang(lang);
    const HostInfo info = host(QStringLiteral("Lab's MacBook"), action, QStringLiteral("T"), thisMac);
    QMap<QString, QString> names{{QStringLiteral("Someone else"), QStringLiteral("X")}};
    if (named)
        names.insert(info.hostname, QStringLiteral("Laptop"));
    QCOMPARE(StatusMenuModel::hostTitle(info, names, m_loc.get()), title);
    QCOMPARE(StatusMenuModel::hostToolTip(info, names, m_loc.get()), toolTip);
}

void StatusMenuModelTest::buttonByPrecedence_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("conflict");
    QTest::addColumn<int>("tint");
    QTest::addColumn<QString>("german");
    QTest::addColumn<QString>("english");

    const QString conflictDe = QStringLiteral("Tandrill: Konflikt erkannt – bitte Push oder Pull manuell wählen");
    const QString conflictEn = QStringLiteral("Tandrill: Conflict detected – please choose Push or Pull manually");
    QTest::newRow("conflict, running") << true << true << static_cast<int>(Row::Tint::Orange) << conflictDe
                                       << conflictEn;
    QTest::newRow("conflict, stopped") << false << true << static_cast<int>(Row::Tint::Orange) << conflictDe
                                       << conflictEn;
    QTest::newRow("running") << true << false << static_cast<int>(Row::Tint::Green)
                             << QStringLiteral("Tandrill: Auto-Sync aktiv")
                             << QStringLiteral("Tandrill: Auto-Sync active");
    QTest::newRow("stopped") << false << false << static_cast<int>(Row::Tint::Plain)
                             << QStringLiteral("Tandrill: Auto-Sync gestoppt")
                             << QStringLiteral("Tandrill: Auto-Sync stopped");
}

void StatusMenuModelTest::buttonByPrecedence()
{
    QFETCH(bool, running);
    QFETCH(bool, conflict);
    QFETCH(int, tint);
    QFETCH(QString, german);
    QFETCH(QString, english);

    QCOMPARE(static_cast<int>(StatusMenuModel::buttonTint(running, conflict)), tint);
    m_loc->setLang(QStringLiteral("de"));
    QCOMPARE(StatusMenuModel::buttonToolTip(running, conflict, m_loc.get()), german);
    m_loc->setLang(QStringLiteral("en"));
    QCOMPARE(StatusMenuModel::buttonToolTip(running, conflict, m_loc.get()), english);
    m_loc->setLang(QStringLiteral("EN"));
    QCOMPARE(StatusMenuModel::buttonToolTip(running, conflict, m_loc.get()), german);
}

void StatusMenuModelTest::missingLanguageGivesGerman()
{
    StatusMenuState state;
    state.lastSyncLocal = QStringLiteral("—");
    QCOMPARE(StatusMenuModel::rows(state, nullptr).first().title, QStringLiteral("● Auto-Sync gestoppt"));
    QCOMPARE(StatusMenuModel::buttonToolTip(false, false, nullptr), QStringLiteral("Tandrill: Auto-Sync gestoppt"));
}

TANDRILL_TEST_MAIN(StatusMenuModelTest)
#include "tst_statusmenumodel.moc"
