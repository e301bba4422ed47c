#include "SyncFormat.h"
#include "TestEnvironment.h"

#include <cmath>
#include <limits>

using SyncFormat::KeyValues;

namespace {

const QDateTime kStamp(QDate(2025, 3, 7), QTime(14, 5, 9));

} // namespace

class TestSyncFormat : public QObject {
    Q_OBJECT

private slots:
    void fileSafeName_data()
    {
        QTest::addColumn<QString>("hostname");
        QTest::addColumn<QString>("safe");
        QTest::newRow("apostrophe and spaces")
            << QStringLiteral("Lab's MacBook Pro") << QStringLiteral("Labs_MacBook_Pro");
        QTest::newRow("umlaut kept") << QStringLiteral("Jörg’s Mäc") << QStringLiteral("Jörgs_Mäc");
        QTest::newRow("decomposed umlaut kept whole") << QStringLiteral("Jo\u0308rg") << QStringLiteral("Jo\u0308rg");
        QTest::newRow("non-Latin letters") << QStringLiteral("東京のMac Ωμέγα") << QStringLiteral("東京のMac_Ωμέγα");
        QTest::newRow("letter outside the BMP") << QStringLiteral("Mac 𝒜") << QStringLiteral("Mac_𝒜");
        QTest::newRow("numbers of other scripts") << QStringLiteral("Mac ٣ ²") << QStringLiteral("Mac_٣_²");
        QTest::newRow("underscore and hyphen kept") << QStringLiteral("a_b-c") << QStringLiteral("a_b-c");
        QTest::newRow("path separators dropped") << QStringLiteral("../a/b\\c") << QStringLiteral("abc");
        QTest::newRow("punctuation dropped") << QStringLiteral("Mac.local:1!?(x)") << QStringLiteral("Maclocal1x");
        QTest::newRow("emoji dropped") << QStringLiteral("Mac 🍎") << QStringLiteral("Mac_");
        QTest::newRow("emoji with variation selector dropped")
            << QStringLiteral("I ❤️ Mac") << QStringLiteral("I__Mac");
        QTest::newRow("other blanks dropped, not replaced") << QStringLiteral("a\tb\u00a0c") << QStringLiteral("abc");
        QTest::newRow("only dropped characters") << QStringLiteral("'.!🍎") << QStringLiteral("Mac-9e756072");
        QTest::newRow("empty") << QString() << QStringLiteral("Mac-e3b0c442");
    }
    void fileSafeName()
    {
        QFETCH(QString, hostname);
        QFETCH(QString, safe);
        QCOMPARE(SyncFormat::fileSafeName(hostname), safe);
    }

    void hostFileName()
    {
        const QString name = QStringLiteral("Lab's MacBook Pro");
        QCOMPARE(SyncFormat::hostFileName(SyncFormat::kStatusPrefix, name),
                 QStringLiteral("status-Labs_MacBook_Pro.txt"));
        QCOMPARE(SyncFormat::hostFileName(SyncFormat::kConflictPrefix, name),
                 QStringLiteral("conflict-Labs_MacBook_Pro.txt"));
        QCOMPARE(SyncFormat::hostFileName(SyncFormat::kStatusPrefix, QStringLiteral("🍎")),
                 QStringLiteral("status-Mac-0868660d.txt"));
    }

    void parseKeyValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<KeyValues>("expected");
        const auto kv = [](std::initializer_list<std::pair<const char *, const char *>> pairs) {
            KeyValues values;
            for (const auto &[key, value] : pairs)
                values.insert(QString::fromUtf8(key), QString::fromUtf8(value));
            return values;
        };
        QTest::newRow("meta file")
            << QByteArray("mtime=1741356309\nhost=Lab's MacBook Pro\nupdated=2025-03-07 14:05:11") << true
            << kv({{"mtime", "1741356309"}, {"host", "Lab's MacBook Pro"}, {"updated", "2025-03-07 14:05:11"}});
        QTest::newRow("carriage returns kept")
            << QByteArray("mtime=1\r\nhost=A\r\n") << true << kv({{"mtime", "1\r"}, {"host", "A\r"}});
        QTest::newRow("value keeps further equals signs") << QByteArray("a=b=c") << true << kv({{"a", "b=c"}});
        QTest::newRow("empty value") << QByteArray("a=\nb=1") << true << kv({{"a", ""}, {"b", "1"}});
        QTest::newRow("lines without equals sign ignored") << QByteArray("junk\n\n\na=1\n") << true << kv({{"a", "1"}});
        QTest::newRow("last duplicate wins") << QByteArray("k=1\nk=2\nj=0") << true << kv({{"k", "2"}, {"j", "0"}});
        QTest::newRow("keys and values not trimmed") << QByteArray(" a = b ") << true << kv({{" a ", " b "}});
        QTest::newRow("empty key") << QByteArray("=v") << true << kv({{"", "v"}});
        QTest::newRow("keys case-sensitive")
            << QByteArray("Host=a\nhost=b") << true << kv({{"Host", "a"}, {"host", "b"}});
        QTest::newRow("UTF-8 value") << QByteArray("host=Jörg’s Mäc ✅") << true << kv({{"host", "Jörg’s Mäc ✅"}});
        QTest::newRow("empty file") << QByteArray() << true << KeyValues();
        QTest::newRow("invalid byte") << QByteArray("a=1\nb=\xff") << false << KeyValues();
        QTest::newRow("overlong encoding") << QByteArray("a=\xc0\xaf") << false << KeyValues();
        QTest::newRow("encoded surrogate") << QByteArray("a=\xed\xa0\x80") << false << KeyValues();
        QTest::newRow("cut multi-byte sequence") << QByteArray("a=\xe2\x9c") << false << KeyValues();
    }
    void parseKeyValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QFETCH(KeyValues, expected);
        const auto values = SyncFormat::parseKeyValues(bytes);
        QCOMPARE(values.has_value(), valid);
        if (valid)
            QCOMPARE(*values, expected);
    }

    void readNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number");
        QTest::newRow("whole") << QStringLiteral("1741356309") << 1741356309.0;
        QTest::newRow("fraction") << QStringLiteral("1741356309.5") << 1741356309.5;
        QTest::newRow("negative") << QStringLiteral("-12.25") << -12.25;
        QTest::newRow("plus sign") << QStringLiteral("+5") << 5.0;
        QTest::newRow("leading point") << QStringLiteral(".5") << 0.5;
        QTest::newRow("trailing point") << QStringLiteral("5.") << 5.0;
        QTest::newRow("exponent") << QStringLiteral("1.5e3") << 1500.0;
        QTest::newRow("negative exponent") << QStringLiteral("25E-1") << 2.5;
        QTest::newRow("leading space") << QStringLiteral(" 1741356309") << 0.0;
        QTest::newRow("leading tab") << QStringLiteral("\t1") << 0.0;
        QTest::newRow("trailing space") << QStringLiteral("1741356309 ") << 0.0;
        QTest::newRow("trailing carriage return") << QStringLiteral("1741356309\r") << 0.0;
        QTest::newRow("trailing letters") << QStringLiteral("12abc") << 0.0;
        QTest::newRow("decimal comma") << QStringLiteral("1,5") << 0.0;
        QTest::newRow("embedded NUL") << QStringLiteral("1\u00002") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("text") << QStringLiteral("abc") << 0.0;
        QTest::newRow("nan") << QStringLiteral("nan") << 0.0;
        QTest::newRow("NAN with payload") << QStringLiteral("NAN(123)") << 0.0;
        QTest::newRow("inf") << QStringLiteral("inf") << 0.0;
        QTest::newRow("negative infinity") << QStringLiteral("-Infinity") << 0.0;
        QTest::newRow("overflow") << QStringLiteral("1e400") << 0.0;
    }
    void readNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, number);
        QCOMPARE(SyncFormat::readNumber(text), number);
    }

    void wholeNumberText_data()
    {
        constexpr double twoTo63 = 9223372036854775808.0;
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("truncated, not rounded") << 1741356309.75 << QByteArray("1741356309");
        QTest::newRow("negative toward zero") << -1741356309.75 << QByteArray("-1741356309");
        QTest::newRow("zero") << 0.0 << QByteArray("0");
        QTest::newRow("negative fraction") << -0.5 << QByteArray("0");
        QTest::newRow("no exponent notation") << 1e18 << QByteArray("1000000000000000000");
        QTest::newRow("largest below 2^63") << std::nextafter(twoTo63, 0.0) << QByteArray("9223372036854774784");
        QTest::newRow("lowest 64-bit") << -twoTo63 << QByteArray("-9223372036854775808");
        QTest::newRow("2^63 out of range") << twoTo63 << QByteArray("0");
        QTest::newRow("below the 64-bit range") << -1e19 << QByteArray("0");
        QTest::newRow("huge") << 1e300 << QByteArray("0");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << QByteArray("0");
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QByteArray("0");
        QTest::newRow("negative infinity") << -std::numeric_limits<double>::infinity() << QByteArray("0");
    }
    void wholeNumberText()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QCOMPARE(SyncFormat::wholeNumberText(value), text);
    }

    void roundedText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("rounded up") << 1741356309.75 << QStringLiteral("1741356310");
        QTest::newRow("rounded down") << 1741356309.25 << QStringLiteral("1741356309");
        QTest::newRow("whole") << 1741356309.0 << QStringLiteral("1741356309");
        QTest::newRow("zero") << 0.0 << QStringLiteral("0");
        QTest::newRow("negative") << -1.6 << QStringLiteral("-2");
        QTest::newRow("half to even") << 2.5 << QStringLiteral("2");
    }
    void roundedText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(SyncFormat::roundedText(value), text);
    }

    void timestamps_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("backupStamp");
        QTest::newRow("afternoon") << kStamp << QStringLiteral("2025-03-07 14:05:09")
                                   << QStringLiteral("20250307_140509");
        QTest::newRow("padded early hours")
            << QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)) << QStringLiteral("2025-01-02 03:04:05")
            << QStringLiteral("20250102_030405");
        QTest::newRow("last second of a year")
            << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999)) << QStringLiteral("2024-12-31 23:59:59")
            << QStringLiteral("20241231_235959");
    }
    void timestamps()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, text);
        QFETCH(QString, backupStamp);
        QCOMPARE(SyncFormat::timestampText(time), text);
        QCOMPARE(SyncFormat::backupStampText(time), backupStamp);
    }

    void metaContent()
    {
        const QByteArray bytes =
            SyncFormat::metaContent(1741356309.75, QStringLiteral("Lab's MacBook Pro"), kStamp.addSecs(2));
        QCOMPARE(bytes, QByteArray("mtime=1741356309\nhost=Lab's MacBook Pro\nupdated=2025-03-07 14:05:11"));
        QCOMPARE(bytes.size(), 67);
    }

    void statusContent_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<double>("lastPulled");
        QTest::addColumn<QByteArray>("lastPulledLine");
        QTest::newRow("push") << QStringLiteral("push") << 1741356309.9 << QByteArray("last_pulled=1741356309");
        QTest::newRow("online without meta") << QStringLiteral("online") << 0.0 << QByteArray("last_pulled=0");
        QTest::newRow("negative") << QStringLiteral("sync") << -42.5 << QByteArray("last_pulled=-42");
        QTest::newRow("not finite") << QStringLiteral("pull") << std::numeric_limits<double>::quiet_NaN()
                                    << QByteArray("last_pulled=0");
    }
    void statusContent()
    {
        QFETCH(QString, action);
        QFETCH(double, lastPulled);
        QFETCH(QByteArray, lastPulledLine);
        const QByteArray expected = "hostname=Jörg’s Mäc\nlast_action=" + action.toUtf8() +
                                    "\nlast_time=2025-03-07 14:05:09\n" + lastPulledLine;
        QCOMPARE(SyncFormat::statusContent(QStringLiteral("Jörg’s Mäc"), action, kStamp, lastPulled), expected);
    }

    void logLine()
    {
        QCOMPARE(SyncFormat::logLine(kStamp, QStringLiteral("Lab's MacBook Pro"),
                                     QStringLiteral("PUSH: Sende lokales Dock nach Dock Sync …")),
                 QByteArray("[2025-03-07 14:05:09] [Lab's MacBook Pro] PUSH: Sende lokales Dock nach Dock Sync "
                            "\xe2\x80\xa6\n"));
    }
};

TANDRILL_TEST_MAIN(TestSyncFormat)
#include "tst_syncformat.moc"
