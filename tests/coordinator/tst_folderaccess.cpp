#include "BookmarkManager.h"
#include "CoordinatorHarness.h"
#include "TestEnvironment.h"
#include "platform/LoginItem.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

class TestFolderAccess : public QObject {
    Q_OBJECT

private:
    QString m_root;
    int m_case = 0;

    QString autostartEntry() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QLatin1String("/autostart/tandrill.desktop");
    }

private slots:
    void init()
    {
        m_root = TestEnvironment::root() + QLatin1String("/access-") + QString::number(++m_case);
        QDir().mkpath(m_root);
        QFile::remove(autostartEntry());
    }

    void autostartEntryWrittenValidatedRemoved()
    {
#ifdef Q_OS_MACOS
        QSKIP("The system login item on a Mac is the real one: the test program must not become one.");
#endif
        // The isolated XDG_CONFIG_HOME keeps this away from the real session.
        QVERIFY(autostartEntry().startsWith(TestEnvironment::root()));
        const auto item = createSystemLoginItem();
        QCOMPARE(item->status(), LoginItem::Status::NotRegistered);
        QVERIFY(item->registerItem());
        QCOMPARE(item->status(), LoginItem::Status::Enabled);
        const QString entry = QString::fromUtf8(readBytes(autostartEntry()));
        QVERIFY(entry.contains(QLatin1String("Exec=\"") + QCoreApplication::applicationFilePath() + QLatin1Char('"')));

        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty())
            QFAIL("desktop-file-validate is missing; ./test.sh installs desktop-file-utils");
        QProcess validate;
        validate.start(validator, {autostartEntry()});
        QVERIFY(validate.waitForFinished(10000));
        QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());

        writeBytes(autostartEntry(), readBytes(autostartEntry()) + "Hidden=true\n");
        QCOMPARE(item->status(), LoginItem::Status::NotRegistered);
        QVERIFY(item->unregisterItem());
        QVERIFY(!QFile::exists(autostartEntry()));
        QVERIFY(item->unregisterItem()); // nothing to remove is fine
    }

    void loginItemStateReadAtStart()
    {
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_root);
        mac.loginItem().m_status = LoginItem::Status::Enabled;
        SyncManager &manager = mac.start();
        QVERIFY(manager.launchAtLogin());
        QCOMPARE(mac.loginItem().registerCalls, 1); // registered once more, as the system expects
        manager.setLaunchAtLogin(true);
        QCOMPARE(mac.loginItem().registerCalls, 1);
        manager.setLaunchAtLogin(false);
        QCOMPARE(mac.loginItem().unregisterCalls, 1);

        mac.loginItem().m_statusAfterRegister = LoginItem::Status::RequiresApproval;
        manager.setLaunchAtLogin(true);
        QVERIFY(manager.launchAtLogin());
        QVERIFY(manager.loginItemRequiresApproval());
        mac.stop();
        QVERIFY(!mac.start().launchAtLogin()); // approval pending is not enabled
    }

    void bookmarkFollowsARenamedFolder()
    {
        QSettings settings(m_root + QLatin1String("/settings.ini"), QSettings::IniFormat);
        BookmarkManager bookmarks(&settings, createSystemFolderBookmarks());
        QCOMPARE(bookmarks.resolveBookmark(), std::nullopt); // nothing stored: silent

        const QString folder = m_root + QLatin1String("/iCloud/Dock");
        QDir().mkpath(folder);
        bookmarks.saveBookmark(folder);
        QCOMPARE(bookmarks.scopedURL(), std::optional<QString>(folder));
        const QByteArray original = settings.value(BookmarkManager::kBookmarkKey).toByteArray();
        QVERIFY(!original.isEmpty());

        const QString renamed = m_root + QLatin1String("/iCloud/Dock Sync");
        QVERIFY(QDir().rename(folder, renamed));
        bookmarks.stopAccessing();
        QVERIFY(!bookmarks.scopedURL());
        QTest::ignoreMessage(QtWarningMsg, "Tandrill: Bookmark ist stale, erneuere …");
        QCOMPARE(bookmarks.resolveBookmark(), std::optional<QString>(renamed));
        QVERIFY(settings.value(BookmarkManager::kBookmarkKey).toByteArray() != original);
        QCOMPARE(bookmarks.resolveBookmark(), std::optional<QString>(renamed)); // renewed: no longer stale

        bookmarks.clearBookmark();
        QVERIFY(!bookmarks.scopedURL());
        QVERIFY(!settings.contains(BookmarkManager::kBookmarkKey));
        QCOMPARE(bookmarks.resolveBookmark(), std::nullopt);
    }

    void failedBookmarkKeepsTheEarlierOne()
    {
        QSettings settings(m_root + QLatin1String("/settings.ini"), QSettings::IniFormat);
        BookmarkManager bookmarks(&settings, createSystemFolderBookmarks());
        const QString folder = m_root + QLatin1String("/good");
        QDir().mkpath(folder);
        bookmarks.saveBookmark(folder);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^Tandrill: Bookmark-Erstellung fehlgeschlagen: .+")));
        bookmarks.saveBookmark(m_root + QLatin1String("/missing"));
        QCOMPARE(bookmarks.scopedURL(), std::optional<QString>(folder));

        QVERIFY(QDir(folder).removeRecursively());
        bookmarks.stopAccessing();
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("^Tandrill: Bookmark-Aufl\u00f6sung fehlgeschlagen: .+")));
        QCOMPARE(bookmarks.resolveBookmark(), std::nullopt);
    }

    void startUpAdoptsTheBookmarkedPath()
    {
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_root);
        const QString folder = m_root + QLatin1String("/Dock");
        mac.storeSetUp(folder);
        mac.bookmarks().saveBookmark(folder);
        const QString moved = m_root + QLatin1String("/Dock (moved)");
        QVERIFY(QDir().rename(folder, moved));
        QTest::ignoreMessage(QtWarningMsg, "Tandrill: Bookmark ist stale, erneuere …");
        SyncManager &manager = mac.start();
        QCOMPARE(manager.syncFolderPath(), moved);
        QCOMPARE(mac.settings().value(QStringLiteral("TandrillFolderPath")).toString(), moved);
        mac.settle();
        QVERIFY(QFile::exists(moved + QLatin1String("/status-Mac_mini.txt")));
    }
};

TANDRILL_TEST_MAIN(TestFolderAccess)
#include "tst_folderaccess.moc"
