#include "ColorDot.h"
#include "LogRow.h"
#include "LogTab.h"
#include "SymbolView.h"
#include "TestEnvironment.h"
#include "ViewStyle.h"
#include "ViewTestFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace {

QString pickFor(const QString &lang, const char *german, const char *english)
{
    return QString::fromUtf8(lang == QLatin1String("en") ? english : german);
}

QList<LogRow *> rows(const QWidget *tab)
{
    QList<LogRow *> result = tab->findChildren<LogRow *>();
    std::sort(result.begin(), result.end(), [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
    return result;
}

QColor textColor(const QWidget *label)
{
    return label->palette().color(QPalette::Active, QPalette::WindowText);
}

} // namespace

class TestLogTab : public QObject {
    Q_OBJECT

private:
    int m_case = 0;
    std::unique_ptr<ViewTestFixture> m_fixture;

    ViewTestFixture &fixture() { return *m_fixture; }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewTestFixture>(TestEnvironment::root() + QLatin1String("/log-") +
                                                      QString::number(++m_case));
    }
    void cleanup() { m_fixture.reset(); }

    void emptyLogShowsEmptyState_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::newRow("German") << QStringLiteral("de");
        QTest::newRow("English") << QStringLiteral("en");
    }
    void emptyLogShowsEmptyState()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        QFile::remove(fixture().folder() + QLatin1String("/tandrill.log"));
        fixture().refresh();
        LogTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));

        QCOMPARE(childNamed<QLabel>(&tab, "logCount")->text(), pickFor(lang, "0 Einträge", "0 entries"));
        QVERIFY(childNamed<QWidget>(&tab, "logEmptyState")->isVisibleTo(&tab));
        QVERIFY(!childNamed<QWidget>(&tab, "logList")->isVisibleTo(&tab));
        QCOMPARE(childNamed<QLabel>(&tab, "logEmptyText")->text(),
                 pickFor(lang, "Kein Log vorhanden", "No log entries"));
        QCOMPARE(childNamed<QToolButton>(&tab, "reloadLogButton")->toolTip(),
                 pickFor(lang, "Log neu laden", "Reload log"));
        auto *clear = childNamed<QPushButton>(&tab, "clearLogButton");
        QCOMPARE(clear->text(), pickFor(lang, "Log leeren", "Clear log"));
        QCOMPARE(clear->toolTip(), pickFor(lang, "Alle Log-Einträge löschen", "Delete all log entries"));
        QCOMPARE(childNamed<QLabel>(&tab, "logFootnoteText")->text(),
                 pickFor(lang,
                         "Angezeigt werden die letzten 80 Einträge. Die Log-Datei wird automatisch auf 500 Zeilen "
                         "begrenzt.",
                         "Showing the last 80 entries. The log file is automatically capped at 500 lines."));
        QVERIFY(tab.findChildren<LogRow *>().isEmpty());
    }

    void countFollowsTheLines()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeLog({QStringLiteral("[2024-05-01 10:00:00] [Air] PUSH: a"),
                            QStringLiteral("[2024-05-01 10:00:01] [Air] PULL: b"),
                            QStringLiteral("[2024-05-01 10:00:02] [Air] STATUS: c")});
        fixture().refresh();
        LogTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        QCOMPARE(childNamed<QLabel>(&tab, "logCount")->text(), QStringLiteral("3 Einträge"));
        fixture().loc().toggle();
        QCOMPARE(childNamed<QLabel>(&tab, "logCount")->text(), QStringLiteral("3 entries"));
        QVERIFY(childNamed<QWidget>(&tab, "logList")->isVisibleTo(&tab));
    }

    void dotAndMessageColours_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QColor>("dot");
        QTest::addColumn<bool>("redMessage");
        const QString prefix = QStringLiteral("[2024-05-01 10:00:00] [Mac-mini] ");
        QTest::newRow("conflict") << prefix + QStringLiteral("AUTO: KONFLIKT erkannt") << ViewStyle::red() << true;
        QTest::newRow("push") << prefix + QStringLiteral("PUSH: Erfolgreich hochgeladen") << ViewStyle::blue() << false;
        QTest::newRow("pull") << prefix + QStringLiteral("PULL: Dock übernommen") << ViewStyle::purple() << false;
        QTest::newRow("status") << prefix + QStringLiteral("STATUS: Präsenz registriert") << ViewStyle::gray() << false;
        QTest::newRow("push failed") << prefix + QStringLiteral("PUSH: FEHLER beim Kopieren") << ViewStyle::red()
                                     << true;
        QTest::newRow("english error") << prefix + QStringLiteral("ERROR somewhere") << ViewStyle::red() << true;
        QTest::newRow("host name counts")
            << QStringLiteral("[2024-05-01 10:00:00] [PULL-Mac] STATUS: x") << ViewStyle::purple() << false;
        QTest::newRow("case matters") << prefix + QStringLiteral("push: fehler") << ViewStyle::gray() << false;
    }
    void dotAndMessageColours()
    {
        QFETCH(QString, line);
        QFETCH(QColor, dot);
        QFETCH(bool, redMessage);
        SyncManager &manager = fixture().startSetUp();
        fixture().writeLog({line});
        fixture().refresh();
        LogTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        const auto shown = rows(&tab);
        QCOMPARE(shown.size(), 1);
        auto *dotView = childNamed<ColorDot>(shown[0], "logDot");
        QCOMPARE(dotView->color(), dot);
        QCOMPARE(dotView->size(), QSize(6, 6));
        const QImage pixels = dotView->grab().toImage();
        QCOMPARE(pixels.pixelColor(pixels.width() / 2, pixels.height() / 2).rgb(), dot.rgb());
        const QColor message = textColor(childNamed<QLabel>(shown[0], "logMessage"));
        QCOMPARE(message, redMessage ? ViewStyle::red() : ViewStyle::primaryText(&tab));
    }

    void rowsShowTimeSourceAndMessage()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeLog({QStringLiteral("[2024-05-01 10:00:00] [Mac-mini] PUSH: Erfolgreich hochgeladen"),
                            QStringLiteral("no brackets at all"),
                            QStringLiteral("[2024-05-01 10:05:00] [<i>Air</i>] AUTO: a] b ")});
        fixture().refresh();
        LogTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        const auto shown = rows(&tab);
        QCOMPARE(shown.size(), 3);
        // Newest first.
        const auto texts = [](const LogRow *row) {
            return QStringList{childNamed<QLabel>(row, "logTimestamp")->text(),
                               childNamed<QLabel>(row, "logSource")->isVisible()
                                   ? childNamed<QLabel>(row, "logSource")->text()
                                   : QString(),
                               childNamed<QLabel>(row, "logMessage")->text()};
        };
        QCOMPARE(texts(shown[0]), (QStringList{QStringLiteral("2024-05-01 10:05:00"), QStringLiteral("[<i>Air</i>]"),
                                               QStringLiteral("AUTO: a] b")}));
        QCOMPARE(childNamed<QLabel>(shown[0], "logSource")->textFormat(), Qt::PlainText);
        QCOMPARE(texts(shown[1]), (QStringList{QString(), QString(), QString()}));
        QCOMPARE(texts(shown[2]), (QStringList{QStringLiteral("2024-05-01 10:00:00"), QStringLiteral("[Mac-mini]"),
                                               QStringLiteral("PUSH: Erfolgreich hochgeladen")}));
        QCOMPARE(textColor(childNamed<QLabel>(shown[2], "logSource")), ViewStyle::blue());
    }

    void reloadReadsTheFileAgain()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeLog({QStringLiteral("[2024-05-01 10:00:00] [Air] PUSH: one")});
        fixture().refresh();
        LogTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        QCOMPARE(rows(&tab).size(), 1);

        fixture().writeLog({QStringLiteral("[2024-05-01 10:00:00] [Air] PUSH: one"),
                            QStringLiteral("[2024-05-01 11:00:00] [Mini] PULL: two")});
        QCOMPARE(rows(&tab).size(), 1); // nothing reads the folder by itself in virtual time
        QTest::mouseClick(childNamed<QToolButton>(&tab, "reloadLogButton"), Qt::LeftButton);
        fixture().settle();
        const auto shown = rows(&tab);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(childNamed<QLabel>(shown[0], "logMessage")->text(), QStringLiteral("PULL: two"));
        QCOMPARE(childNamed<QLabel>(&tab, "logCount")->text(), QStringLiteral("2 Einträge"));
    }

    void clearEmptiesTheLogForEveryMac()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeLog({QStringLiteral("[2024-05-01 10:00:00] [Air] PUSH: one"),
                            QStringLiteral("[2024-05-01 11:00:00] [Mini] PULL: two")});
        fixture().refresh();
        LogTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        QTest::mouseClick(childNamed<QPushButton>(&tab, "clearLogButton"), Qt::LeftButton);
        childNamed<QPushButton>(&tab, "confirmClearLogButton")->click(); // it asks first
        fixture().settle();
        QVERIFY(manager.logLines().isEmpty());
        QCOMPARE(readBytes(fixture().folder() + QLatin1String("/tandrill.log")), QByteArray());
        QVERIFY(childNamed<QWidget>(&tab, "logEmptyState")->isVisibleTo(&tab));
        QCOMPARE(childNamed<QLabel>(&tab, "logCount")->text(), QStringLiteral("0 Einträge"));
        QTRY_VERIFY(tab.findChildren<LogRow *>().isEmpty());
    }
};

TANDRILL_TEST_MAIN_IMPL(TestLogTab, QApplication)
#include "tst_logtab.moc"
