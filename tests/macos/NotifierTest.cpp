#include "SystemNotifier.h"
#include "TestMain.h"
#include "TrayNotifier.h"

#include <QThread>
#include <QtTest>

#include <thread>

class NotifierTest : public QObject {
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<bool>("freedesktopBuiltIn");
        QTest::addColumn<bool>("sessionBus");
        QTest::addColumn<NotifierKind>("kind");
        QTest::newRow("macOS") << false << false << NotifierKind::Tray;
        QTest::newRow("Linux desktop") << true << true << NotifierKind::Freedesktop;
        QTest::newRow("Linux without a session bus") << true << false << NotifierKind::Tray;
    }

    void choice()
    {
        QFETCH(bool, freedesktopBuiltIn);
        QFETCH(bool, sessionBus);
        QFETCH(NotifierKind, kind);
        QCOMPARE(chooseNotifierKind(freedesktopBuiltIn, sessionBus), kind);
    }

    // The engine sends from its worker thread; Qt's tray item may only be used on the GUI thread.
    void workerSendsAreShownOnTheGuiThreadInOrder()
    {
        struct Shown {
            QString title;
            QString body;
            QThread *thread;
        };
        QList<Shown> shown;
        TrayNotifier notifier([&shown](const QString &title, const QString &body) {
            shown.append({title, body, QThread::currentThread()});
        });
        std::thread worker([&notifier] {
            notifier.send(QStringLiteral("Dock nach iCloud hochgeladen ✅"), QStringLiteral("Tandrill"));
            notifier.send(QStringLiteral("Dock bereits synchron ✅"), QStringLiteral("Tandrill"));
        });
        worker.join();
        QVERIFY(notifier.permissionRequested()); // the first send asked, once
        QCOMPARE(notifier.permissionRequests(), 1);

        QTRY_COMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).body, QStringLiteral("Dock nach iCloud hochgeladen ✅"));
        QCOMPARE(shown.at(1).body, QStringLiteral("Dock bereits synchron ✅"));
        for (const Shown &message : shown) {
            QCOMPARE(message.title, QStringLiteral("Tandrill"));
            QCOMPARE(message.thread, QCoreApplication::instance()->thread());
        }
    }
};

TANDRILL_TEST_CLASS(NotifierTest)
#include "NotifierTest.moc"
