#include "HostNameRow.h"
#include "SettingsTab.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"
#include "ViewTestFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

// The settings' "Mac Names" box: this Mac first, naming, renaming and removing Macs.
namespace {

QString pickFor(const QString &lang, const char *german, const char *english)
{
    return QString::fromUtf8(lang == QLatin1String("en") ? english : german);
}

QList<HostNameRow *> nameRows(const QWidget *tab)
{
    QList<HostNameRow *> rows;
    for (HostNameRow *row : tab->findChildren<HostNameRow *>()) {
        if (row->isVisibleTo(tab))
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end(), [tab](const QWidget *a, const QWidget *b) {
        return a->mapTo(tab, QPoint()).y() < b->mapTo(tab, QPoint()).y();
    });
    return rows;
}

QString rowHostname(const HostNameRow *row)
{
    return childNamed<QLabel>(row, "rowHostname")->text();
}

QMessageBox *openDialog(const QWidget *owner, const char *name)
{
    QMessageBox *dialog = childNamed<QMessageBox>(owner, name);
    return dialog && dialog->isVisible() ? dialog : nullptr;
}

} // namespace

class TestMacNames : public QObject {
    Q_OBJECT

private:
    int m_case = 0;
    std::unique_ptr<ViewTestFixture> m_fixture;

    ViewTestFixture &fixture() { return *m_fixture; }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewTestFixture>(TestEnvironment::root() + QLatin1String("/names-") +
                                                      QString::number(++m_case));
    }
    void cleanup() { m_fixture.reset(); }

    void macNamesListThisMacFirst()
    {
        SyncManager &manager = fixture().startFresh(); // no status file yet
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto rows = nameRows(&tab);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rowHostname(rows[0]), fixture().hostname());
        QVERIFY(rows[0]->host().isThisMac);
        auto *hint = childNamed<QLabel>(&tab, "moreMacsHint");
        QVERIFY(hint->isVisibleTo(&tab));
        QCOMPARE(hint->text(),
                 QStringLiteral("Weitere Macs erscheinen hier sobald sie sich mit demselben iCloud-Ordner verbinden."));
    }

    void macNamesListOtherMacsInOrder()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeStatus(QStringLiteral("Office iMac"), QStringLiteral("push"), QStringLiteral("2024"));
        fixture().writeStatus(QStringLiteral("Air"), QStringLiteral("pull"), QStringLiteral("2024"));
        fixture().refresh();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        const auto rows = nameRows(&tab);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rowHostname(rows[0]), fixture().hostname());
        QCOMPARE(rowHostname(rows[1]), QStringLiteral("Air"));
        QCOMPARE(rowHostname(rows[2]), QStringLiteral("Office iMac"));
        QVERIFY(!childNamed<QLabel>(&tab, "moreMacsHint")->isVisibleTo(&tab));
        QCOMPARE(childNamed<QToolButton>(rows[1], "removeHostButton")->toolTip(),
                 QStringLiteral("Diesen Mac aus der Hub-Konfiguration entfernen"));
        QCOMPARE(childNamed<QToolButton>(rows[0], "removeHostButton")->toolTip(),
                 QStringLiteral("Diesen Mac aus der Hub-Konfiguration entfernen. Er registriert sich beim nächsten "
                                "Sync neu."));
    }

    void editSaveAndCancelNames_data() { addLanguageColumn(); }
    void editSaveAndCancelNames()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        HostNameRow *row = nameRows(&tab).at(0);
        auto *edit = childNamed<QPushButton>(row, "editNameButton");
        auto *field = childNamed<QLineEdit>(row, "nameField");
        auto *displayName = childNamed<QLabel>(row, "rowDisplayName");
        auto *clearName = childNamed<QToolButton>(row, "clearNameButton");
        QCOMPARE(edit->text(), pickFor(lang, "Name vergeben", "Assign Name"));
        QVERIFY(!clearName->isVisibleTo(&tab));
        QVERIFY(!field->isVisibleTo(&tab));

        QTest::mouseClick(edit, Qt::LeftButton);
        QVERIFY(field->isVisibleTo(&tab));
        QVERIFY(!displayName->isVisibleTo(&tab));
        QCOMPARE(field->placeholderText(), pickFor(lang, "Anzeigename", "Display name"));
        QCOMPARE(field->text(), QString());
        QTest::keyClicks(field, QStringLiteral("Desk"));
        QTest::mouseClick(childNamed<QPushButton>(row, "saveNameButton"), Qt::LeftButton);
        QCOMPARE(manager.hostCustomNames().value(fixture().hostname()), QStringLiteral("Desk"));
        QVERIFY(!field->isVisibleTo(&tab));
        QCOMPARE(displayName->text(), QStringLiteral("Desk"));
        QCOMPARE(edit->text(), pickFor(lang, "Ändern", "Edit"));
        QVERIFY(clearName->isVisibleTo(&tab));
        QCOMPARE(clearName->toolTip(), pickFor(lang, "Anzeigenamen entfernen", "Remove display name"));

        // Cancel keeps the name.
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(field->text(), QStringLiteral("Desk"));
        QTest::keyClicks(field, QStringLiteral(" top"));
        auto *cancel = childNamed<QPushButton>(row, "cancelNameButton");
        QCOMPARE(cancel->text(), pickFor(lang, "Abbrechen", "Cancel"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(manager.hostCustomNames().value(fixture().hostname()), QStringLiteral("Desk"));
        QCOMPARE(displayName->text(), QStringLiteral("Desk"));

        // Blanks remove the name; Return saves.
        QTest::mouseClick(edit, Qt::LeftButton);
        field->clear();
        QTest::keyClicks(field, QStringLiteral("   "));
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(!manager.hostCustomNames().contains(fixture().hostname()));
        QCOMPARE(displayName->text(), fixture().hostname());
        QCOMPARE(edit->text(), pickFor(lang, "Name vergeben", "Assign Name"));

        // The small cross drops a name at once.
        manager.setDisplayName(QStringLiteral("Desk"), fixture().hostname());
        QTest::mouseClick(clearName, Qt::LeftButton);
        QVERIFY(!manager.hostCustomNames().contains(fixture().hostname()));
    }

    void anEditSurvivesTheRefresh()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeStatus(QStringLiteral("Air"), QStringLiteral("pull"), QStringLiteral("2024"));
        fixture().refresh();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        HostNameRow *air = nameRows(&tab).at(1);
        QTest::mouseClick(childNamed<QPushButton>(air, "editNameButton"), Qt::LeftButton);
        QTest::keyClicks(childNamed<QLineEdit>(air, "nameField"), QStringLiteral("Travel"));
        fixture().refresh();
        QCOMPARE(nameRows(&tab).at(1), air);
        QVERIFY(air->isEditing());
        QCOMPARE(childNamed<QLineEdit>(air, "nameField")->text(), QStringLiteral("Travel"));
    }

    void removingAMacAsksFirst_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("thisMac");
        QTest::newRow("German, this Mac") << QStringLiteral("de") << true;
        QTest::newRow("English, this Mac") << QStringLiteral("en") << true;
        QTest::newRow("German, other Mac") << QStringLiteral("de") << false;
        QTest::newRow("English, other Mac") << QStringLiteral("en") << false;
    }
    void removingAMacAsksFirst()
    {
        QFETCH(QString, lang);
        QFETCH(bool, thisMac);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        fixture().writeStatus(QStringLiteral("Air"), QStringLiteral("pull"), QStringLiteral("2024"));
        manager.setDisplayName(QStringLiteral("Travel"), QStringLiteral("Air"));
        fixture().refresh();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        HostNameRow *row = nameRows(&tab).at(thisMac ? 0 : 1);
        const QString hostname = thisMac ? fixture().hostname() : QStringLiteral("Air");
        const QString shownName = thisMac ? fixture().hostname() : QStringLiteral("Travel");
        const QString statusFile =
            fixture().folder() + QLatin1Char('/') + SyncFormat::hostFileName(SyncFormat::kStatusPrefix, hostname);
        QVERIFY(QFile::exists(statusFile));

        auto *trash = childNamed<QToolButton>(row, "removeHostButton");
        QTest::mouseClick(trash, Qt::LeftButton);
        QMessageBox *dialog = openDialog(row, "removeHostDialog");
        QVERIFY(dialog);
        const QString title = lang == QLatin1String("en")
                                  ? QString(QStringLiteral("Remove “") + shownName + QStringLiteral("”?"))
                                  : QString(QStringLiteral("«") + shownName + QStringLiteral("» entfernen?"));
        QCOMPARE(dialog->text(), title);
        QCOMPARE(dialog->informativeText(),
                 thisMac ? pickFor(lang,
                                   "Deine Status-Datei wird gelöscht. Dieser Mac registriert sich beim nächsten Sync "
                                   "automatisch wieder.",
                                   "Your status file will be deleted. This Mac will re-register automatically on the "
                                   "next sync.")
                         : pickFor(lang, "Die Status-Datei dieses Macs wird aus dem iCloud-Ordner gelöscht.",
                                   "This Mac's status file will be deleted from the iCloud folder."));
        QTest::mouseClick(childNamed<QPushButton>(dialog, "cancelRemoveButton"), Qt::LeftButton);
        fixture().settle();
        QVERIFY(QFile::exists(statusFile));

        QTest::mouseClick(trash, Qt::LeftButton);
        dialog = openDialog(row, "removeHostDialog");
        QVERIFY(dialog);
        auto *remove = childNamed<QPushButton>(dialog, "confirmRemoveButton");
        QCOMPARE(remove->text(), pickFor(lang, "Entfernen", "Remove"));
        QTest::mouseClick(remove, Qt::LeftButton);
        fixture().settle();
        QVERIFY(!QFile::exists(statusFile));
        QVERIFY(!manager.hostCustomNames().contains(hostname));
        // This Mac's row stays; another Mac's row goes with its status file.
        QCOMPARE(nameRows(&tab).size(), thisMac ? 2 : 1);
        QCOMPARE(rowHostname(nameRows(&tab).at(0)), fixture().hostname());
    }
};

TANDRILL_TEST_MAIN_IMPL(TestMacNames, QApplication)
#include "tst_macnames.moc"
