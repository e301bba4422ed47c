// Replays every input of the fuzzing corpora through the fuzzed entry points, in every test run
// and with any compiler: the hand-made seeds, and each input that once broke a check or crashed.
#include "FuzzTargets.h"
#include "TestCommon.h"

using Entry = void (*)(const std::uint8_t *, std::size_t);

class TestFuzzCorpus : public QObject {
    Q_OBJECT

private slots:
    void replay_data()
    {
        QTest::addColumn<Entry>("entry");
        QTest::addColumn<QString>("path");
        const std::pair<const char *, Entry> targets[] = {{"keyvalues", &FuzzTargets::keyValues},
                                                          {"hoststatus", &FuzzTargets::hostStatus},
                                                          {"loglines", &FuzzTargets::logLines},
                                                          {"filesafename", &FuzzTargets::fileSafeName},
                                                          {"dockfiles", &FuzzTargets::dockFiles}};
        for (const auto &[name, entry] : targets) {
            const QDir corpus(QStringLiteral(TANDRILL_FUZZ_CORPUS "/") + QLatin1String(name));
            const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
            QVERIFY2(!files.isEmpty(), qPrintable(corpus.path()));
            for (const QString &file : files)
                QTest::addRow("%s/%s", name, qPrintable(file)) << entry << corpus.filePath(file);
        }
    }
    void replay()
    {
        QFETCH(Entry, entry);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // A broken check aborts the process; reaching the end is the pass.
        entry(reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
    }
};

TANDRILL_TEST_CLASS(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
