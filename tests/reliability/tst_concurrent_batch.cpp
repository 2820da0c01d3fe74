// Two batch processes started together over one script folder, as two cron
// lines (or cron and the window) do.
#include "ReliabilityFixture.h"
#include "storage/FileOps.h"

using namespace reliability;
using namespace tarvik;

namespace {

struct Both {
    BatchResult a;
    BatchResult b;
};

Both runTogether(const ProgramFolder& pf, const QStringList& argsA, const QStringList& argsB) {
    QProcess a, b;
    pf.start(a, argsA, pf.environment());
    pf.start(b, argsB, pf.environment());
    Both r;
    for (auto [p, out] : {std::pair{&a, &r.a}, std::pair{&b, &r.b}}) {
        if (p->waitForFinished(300000) && p->exitStatus() == QProcess::NormalExit)
            *out = {p->exitCode(), QString::fromUtf8(p->readAll())};
    }
    return r;
}

} // namespace

class ConcurrentBatchTest : public QObject {
    Q_OBJECT
private slots:
    void sameScriptsAtOnce_data();
    void sameScriptsAtOnce();
    void logKeepsEveryLine();
};

void ConcurrentBatchTest::sameScriptsAtOnce_data() {
    QTest::addColumn<QStringList>("argsA");
    QTest::addColumn<QStringList>("argsB");
    QTest::newRow("-a and -a") << QStringList{u"-a"_s} << QStringList{u"-a"_s};
    QTest::newRow("-az and a list") << QStringList{u"-az"_s}
                                    << QStringList{u"photos.zsc,docs.zsc,more-docs.zsc,"
                                                   u"restore.usc"_s};
    QTest::newRow("pattern and -a") << QStringList{u"*docs*"_s} << QStringList{u"-a"_s};
}

// Three zip scripts (two of them build an archive of the same name into the
// same folder) and an unzip script, each run by both processes, three times.
void ConcurrentBatchTest::sameScriptsAtOnce() {
    QFETCH(QStringList, argsA);
    QFETCH(QStringList, argsB);
    ProgramFolder pf;
    QMap<QString, QByteArray> photos, docs, moreDocs;
    for (int i = 0; i < 3; ++i) {
        photos.insert(u"p%1.bin"_s.arg(i), sampleNoise(400'000, 10 + i));
        docs.insert(u"d%1.txt"_s.arg(i), sampleText(600'000, 20 + i));
        moreDocs.insert(u"e%1.txt"_s.arg(i), sampleText(300'000, 30 + i));
    }
    const auto put = [&](const QString& folder, const QMap<QString, QByteArray>& files) {
        for (auto it = files.begin(); it != files.end(); ++it)
            QVERIFY(writeBytes(pf.path(folder + u'/' + it.key()), it.value()));
    };
    put(u"src/photos"_s, photos);
    put(u"src/docs"_s, docs);
    put(u"src/more"_s, moreDocs);
    put(u"src/unpack"_s, docs);
    QVERIFY(QDir().mkpath(pf.path(u"out/a"_s)) && QDir().mkpath(pf.path(u"out/b"_s)));
    QProcess zip;
    zip.setWorkingDirectory(pf.path(u"src/unpack"_s));
    zip.start(u"zip"_s, {u"-q"_s, pf.path(u"src/in.zip"_s), u"d0.txt"_s, u"d1.txt"_s, u"d2.txt"_s});
    QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);

    const QList<std::pair<QString, QList<std::pair<QString, QString>>>> scripts{
        {u"photos.zsc"_s,
         {{u"File1"_s, pf.path(u"src/photos/*"_s)},
          {u"Dir1"_s, pf.path(u"out/a"_s)},
          {u"Dir2"_s, pf.path(u"out/b"_s)},
          {u"ZipFile"_s, u"Photos"_s},
          {u"CompressionMode"_s, u"Fast"_s},
          {u"Description"_s, u"photos"_s}}},
        {u"docs.zsc"_s,
         {{u"File1"_s, pf.path(u"src/docs/*.txt"_s)},
          {u"Dir1"_s, pf.path(u"out/a"_s)},
          {u"ZipFile"_s, u"Docs"_s},
          {u"CompressionMode"_s, u"Fast"_s},
          {u"Description"_s, u"docs"_s}}},
        {u"more-docs.zsc"_s,
         {{u"File1"_s, pf.path(u"src/more/*.txt"_s)},
          {u"Dir1"_s, pf.path(u"out/a"_s)},
          {u"ZipFile"_s, u"Docs"_s},
          {u"CompressionMode"_s, u"Fast"_s},
          {u"Description"_s, u"same archive name"_s}}},
        {u"restore.usc"_s,
         {{u"ZipFile"_s, pf.path(u"src/in"_s)},
          {u"File1"_s, u"*.txt"_s},
          {u"Dir1"_s, pf.path(u"out/unpacked"_s)},
          {u"Overwrite"_s, u"Yes"_s},
          {u"Description"_s, u"restore"_s}}},
    };
    for (const auto& [name, keys] : scripts)
        pf.writeScript(name, keys);

    for (int round = 0; round < 3; ++round) {
        const Both r = runTogether(pf, argsA, argsB);
        QVERIFY2(r.a.exitCode == 0 && r.b.exitCode == 0, qPrintable(pf.logText()));
        QVERIFY2(!QFile::exists(pf.logFile()), qPrintable(pf.logText()));

        for (const QString& archive : {u"out/a/Photos.zip"_s, u"out/b/Photos.zip"_s})
            QCOMPARE(zipContents(pf.path(archive)), photos);
        // Docs.zip holds whichever of the two scripts ran last, whole.
        const auto docsZip = zipContents(pf.path(u"out/a/Docs.zip"_s));
        QVERIFY(docsZip == docs || docsZip == moreDocs);
        for (const QString& archive :
             {u"out/a/Photos.zip"_s, u"out/b/Photos.zip"_s, u"out/a/Docs.zip"_s})
            QVERIFY2(archiveTestsGood(pf.path(archive)), qPrintable(archive));
        for (auto it = docs.begin(); it != docs.end(); ++it)
            QCOMPARE(readBytes(pf.path(u"out/unpacked/"_s + it.key())), it.value());

        for (const auto& [name, keys] : scripts) {
            QStringList names{u"LastRun"_s, u"Error"_s};
            for (const auto& key : keys)
                names.append(key.first);
            const auto values = scriptValues(pf.script(name), names);
            QVERIFY2(values.has_value(), qPrintable(name));
            for (const auto& [key, value] : keys)
                QCOMPARE(values->value(key), value);
            QVERIFY(values->value(u"LastRun"_s) != u"<missing>");
            QCOMPARE(values->value(u"Error"_s), u"<missing>"_s);
        }
        QStringList locks{LockFileName(u"Docs.zip"_s), LockFileName(u"Photos.zip"_s)};
        locks.sort();
        QCOMPARE(filesNamed(pf.tempFolder(), QString()), locks);
        QCOMPARE(filesNamed(pf.path(u"out"_s), u".tarvik"_s), QStringList());
    }
}

// One process runs scripts that finish (each deletes the log it found empty),
// the other scripts that fail (each logs its lines): no line may be lost.
void ConcurrentBatchTest::logKeepsEveryLine() {
    ProgramFolder pf;
    constexpr int kRuns = 30;
    QVERIFY(writeBytes(pf.path(u"src/a.txt"_s), sampleText(100'000, 1)));
    QVERIFY(writeBytes(pf.path(u"src/big.txt"_s), sampleText(1'500'000, 2)));
    QVERIFY(QDir().mkpath(pf.path(u"out"_s)));
    QStringList good, bad;
    for (int i = 1; i <= kRuns; ++i) {
        const QString n = QString::number(i);
        pf.writeScript(u"good"_s + n + u".zsc"_s, {{u"File1"_s, pf.path(u"src/a.txt"_s)},
                                                   {u"Dir1"_s, pf.path(u"out"_s)},
                                                   {u"ZipFile"_s, u"Good"_s + n},
                                                   {u"CompressionMode"_s, u"Fast"_s}});
        // The copy fails only after a while of building, with the log open.
        pf.writeScript(u"bad"_s + n + u".zsc"_s, {{u"File1"_s, pf.path(u"src/big.txt"_s)},
                                                  {u"Dir1"_s, pf.path(u"missing"_s)},
                                                  {u"ZipFile"_s, u"Bad"_s + n},
                                                  {u"CompressionMode"_s, u"Fast"_s}});
        good.append(u"good"_s + n + u".zsc"_s);
        bad.append(u"bad"_s + n + u".zsc"_s);
    }
    const Both r = runTogether(pf, {good.join(u',')}, {bad.join(u',')});
    QCOMPARE(r.a.exitCode, 0);
    QCOMPARE(r.b.exitCode, 2);
    const QString log = pf.logText();
    for (const QString& name : bad) {
        const QString prefix = pf.script(name);
        QVERIFY2(log.contains(prefix + u"  Unable to copy zip file to "_s),
                 qPrintable(name + u": copy line lost"_s));
        QVERIFY2(log.contains(prefix + u"  Aborted : No copy of the zip file was made."_s),
                 qPrintable(name + u": abort line lost"_s));
    }
    QCOMPARE(log.count(u"\r\n"_s), 2 * kRuns);
}

QTEST_GUILESS_MAIN(ConcurrentBatchTest)
#include "tst_concurrent_batch.moc"
