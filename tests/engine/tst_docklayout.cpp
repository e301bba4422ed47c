#include "DockLayout.h"
#include "TestCommon.h"
#include "TestDock.h"

using TestDock::Shape;
Q_DECLARE_METATYPE(TestDock::Shape)

// Reading a Dock: which files are Docks, which differences count, and what a pull would change.
class TestDockLayout : public QObject {
    Q_OBJECT

private slots:
    void validity_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("isDock");
        const QByteArray xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
        QTest::newRow("binary Dock") << TestDock::build(TestDock::realistic()) << true;
        Shape xml = TestDock::realistic();
        xml.binary = false;
        QTest::newRow("XML Dock") << TestDock::build(xml) << true;
        QTest::newRow("dictionary without apps") << xmlHead + "<dict><key>autohide</key><true/></dict></plist>" << true;
        QTest::newRow("apps not an array")
            << xmlHead + "<dict><key>persistent-apps</key><string>Safari</string></dict></plist>" << false;
        QTest::newRow("root is an array") << xmlHead + "<array><string>x</string></array></plist>" << false;
        QTest::newRow("plain text") << "dock of A"_ba << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("cut binary") << TestDock::build(TestDock::realistic()).left(500) << false;
    }
    void validity()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, isDock);
        QCOMPARE(DockLayout::parse(bytes).has_value(), isDock);
    }

    // What the Dock rewrites on its own never makes two layouts differ; what the user sees does.
    void equality_data()
    {
        QTest::addColumn<Shape>("other");
        QTest::addColumn<bool>("equal");
        const Shape base = TestDock::realistic();
        Shape rewritten = base;
        rewritten.generation = 9;
        QTest::newRow("volatile keys rewritten") << rewritten << true;
        Shape asXml = base;
        asXml.binary = false;
        QTest::newRow("same Dock as XML") << asXml << true;
        Shape moved = base;
        moved.apps.move(0, 3);
        QTest::newRow("app moved") << moved << false;
        Shape removed = base;
        removed.apps.removeLast();
        QTest::newRow("app removed") << removed << false;
        Shape setting = base;
        setting.settings.insert(u"tilesize"_s, 64);
        QTest::newRow("tile size") << setting << false;
        Shape folderView = base;
        folderView.others[0].options.insert(u"showas"_s, 3);
        QTest::newRow("folder shown otherwise") << folderView << false;
    }
    void equality()
    {
        QFETCH(Shape, other);
        QFETCH(bool, equal);
        const auto base = DockLayout::parse(TestDock::build(TestDock::realistic()));
        const auto compared = DockLayout::parse(TestDock::build(other));
        QVERIFY(base && compared);
        QCOMPARE(*base == *compared, equal);
        QCOMPARE(DockDifference::between(*base, *compared).result,
                 equal ? DockDifference::Result::Same : DockDifference::Result::Different);
    }

    void difference()
    {
        Shape here = TestDock::withApps({u"Safari"_s, u"Mail"_s, u"Notes"_s});
        here.others = {{u"Downloads"_s, u"/Users/me/Downloads"_s, {}}};
        Shape shared = TestDock::withApps({u"Notes"_s, u"Safari"_s, u"Xcode"_s});
        shared.settings.insert(u"autohide"_s, true);
        shared.generation = 4;
        const auto difference = DockDifference::between(*DockLayout::parse(TestDock::build(here)),
                                                        *DockLayout::parse(TestDock::build(shared)),
                                                        [](const QString &path) { return !path.contains(u"Xcode"_s); });
        QCOMPARE(difference.result, DockDifference::Result::Different);
        QCOMPARE(difference.appsAdded, QStringList{u"Xcode"_s});
        QCOMPARE(difference.appsRemoved, QStringList{u"Mail"_s});
        QCOMPARE(difference.othersRemoved, QStringList{u"Downloads"_s});
        QVERIFY(difference.othersAdded.isEmpty());
        QVERIFY(difference.orderChanged);
        QCOMPARE(difference.settingsChanged, QStringList{u"autohide"_s});
        QCOMPARE(difference.appsNotInstalled, QStringList{u"Xcode"_s});
    }
};

TANDRILL_TEST_CLASS(TestDockLayout)
#include "tst_docklayout.moc"
