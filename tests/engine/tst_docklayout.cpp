#include "DockApply.h"
#include "DockLayout.h"
#include "TestCommon.h"
#include "TestDock.h"

#include <functional>

using TestDock::Shape;

namespace {
// A Dock whose setting "deep" nests arrays `depth` levels down, as XML (each closing tag hidden
// in a comment after its opening, when asked) or as a binary list.
QByteArray nestedDock(int depth, bool binary, bool hiddenClosings = false)
{
    if (!binary) {
        const QByteArray open = hiddenClosings ? "<array><!--</array>-->" : "<array>";
        return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>deep</key>" + open.repeated(depth) +
               QByteArray("</array>").repeated(depth) + "</dict></plist>";
    }
    // Objects: the root {"deep": 2}, the key, then the arrays, each holding the next; 4-byte
    // references and offsets.
    const auto be32 = [](quint32 value) {
        const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
        return QByteArray(bytes, 4);
    };
    QByteArray bytes = "bplist00";
    QList<quint32> offsets;
    const auto add = [&](const QByteArray &object) {
        offsets.append(quint32(bytes.size()));
        bytes += object;
    };
    add("\xD1" + be32(1) + be32(2));
    add("\x54"
        "deep");
    for (int level = 0; level < depth; ++level)
        add(level + 1 < depth ? "\xA1" + be32(quint32(3 + level)) : QByteArray("\xA0"));
    const quint32 table = quint32(bytes.size());
    for (const quint32 offset : offsets)
        bytes += be32(offset);
    return bytes + QByteArray(6, 0) + "\x04\x04" + QByteArray(4, 0) + be32(quint32(offsets.size())) + QByteArray(8, 0) +
           QByteArray(4, 0) + be32(table);
}
} // namespace

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
        // libplist parses (binary) and frees (XML) nested containers by recursion: a deep file
        // would overflow the stack.
        for (const bool binary : {false, true}) {
            QTest::addRow("nested 30 deep, %s", binary ? "binary" : "XML") << nestedDock(30, binary) << true;
            QTest::addRow("nested 300 000 deep, %s", binary ? "binary" : "XML") << nestedDock(300000, binary) << false;
        }
        QTest::newRow("nested deep, the closings hidden in comments") << nestedDock(300000, false, true) << false;
    }
    void validity()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, isDock);
        QCOMPARE(DockLayout::parse(bytes).has_value(), isDock);
    }

    // The format, the language, the account name and each entry of the one list of what is left out
    // never make two layouts differ; what the user sees does. A Mac's own look, as Settings describe
    // it, differs, but is the same Dock once the look is left out. (What the Dock rewrites on its
    // own: the engine's Macs that differ.)
    void equality_data()
    {
        QTest::addColumn<QByteArray>("other");
        QTest::addColumn<bool>("equal");
        QTest::addColumn<bool>("equalWithoutLook");
        const Shape base = TestDock::realistic();
        const auto with = [&base](const std::function<void(Shape &)> &change) {
            Shape shape = base;
            change(shape);
            return TestDock::build(shape);
        };
        QTest::newRow("same Dock as XML") << with([](Shape &s) { s.binary = false; }) << true << true;
        QTest::newRow("labels in Spanish, another account")
            << TestDock::build(TestDock::realistic(u"es"_s, u"anna.schmidt"_s)) << true << true;
        QTest::newRow("app moved") << with([](Shape &s) { s.apps.move(0, 3); }) << false << false;
        QTest::newRow("app removed") << with([](Shape &s) { s.apps.removeLast(); }) << false << false;
        QTest::newRow("folder shown otherwise")
            << with([](Shape &s) { s.others[0].options.insert(u"showas"_s, 3); }) << false << false;
        for (const DockLayout::LeftOut &entry : DockLayout::leftOut())
            QTest::addRow("left out: %s", entry.key.data())
                << TestDock::plant(TestDock::build(base), entry.where, entry.key, u"planted"_s) << true << true;
        for (const char *key : {"tilesize", "magnification", "largesize", "orientation", "autohide", "autohide-delay",
                                "autohide-time-modifier", "mineffect", "show-recents", "show-process-indicators"})
            QTest::addRow("look: %s", key)
                << with([key](Shape &s) { s.settings.insert(QLatin1String(key), u"another value"_s); }) << false
                << true;
    }
    void equality()
    {
        QFETCH(QByteArray, other);
        QFETCH(bool, equal);
        QFETCH(bool, equalWithoutLook);
        const QByteArray baseBytes = TestDock::build(TestDock::realistic());
        const auto base = DockLayout::parse(baseBytes);
        const auto compared = DockLayout::parse(other);
        QVERIFY(base && compared && other != baseBytes);
        QCOMPARE(*base == *compared, equal);
        QCOMPARE(base->identity() == compared->identity(), equal);
        QCOMPARE(DockDifference::between(*base, *compared).result,
                 equal ? DockDifference::Result::Same : DockDifference::Result::Different);
        QCOMPARE(base->withoutLook() == compared->withoutLook(), equalWithoutLook);
    }

    // A first push of a Mac that keeps its own look shares its Dock as it is: there is no shared look.
    void firstShareKeepsTheOwnLook()
    {
        const QByteArray local = TestDock::build(TestDock::realistic());
        QCOMPARE(DockApply::forSharing(local, std::nullopt), local);
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
