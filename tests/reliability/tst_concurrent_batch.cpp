// Two batch processes started together over one script folder, as two cron
// lines (or cron and the window) do.
#include "ProgramFolder.h"
#include "storage/FileOps.h"

using namespace tarvik;

namespace {

// Exit codes of two runs started together.
std::pair<int, int> together(const ProgramFolder& pf, const QStringList& a, const QStringList& b) {
    QProcess pa, pb;
    pf.start(pa, a);
    pf.start(pb, b);
    const auto code = [](QProcess& p) {
        return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode()
                                                                                   : -1;
    };
    return {code(pa), code(pb)};
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
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("-a and -a") << u"-a"_s << u"-a"_s;
    QTest::newRow("-az and a list") << u"-az"_s << u"photos.zsc,docs.zsc,more.zsc,restore.usc"_s;
    QTest::newRow("pattern and -a") << u"*o*.zsc"_s << u"-a"_s;
}

// Three zip scripts (two of them build Docs.zip into the same folder) and an
// unzip script, each run by both processes, three times.
void ConcurrentBatchTest::sameScriptsAtOnce() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    ProgramFolder pf;
    QMap<QString, Files> src;
    for (int i = 0; i < 3; ++i) {
        src[u"photos"_s].insert(u"p%1.bin"_s.arg(i), sample(400'000, 10 + i, true));
        src[u"docs"_s].insert(u"d%1.txt"_s.arg(i), sample(600'000, 20 + i));
        src[u"more"_s].insert(u"e%1.txt"_s.arg(i), sample(300'000, 30 + i));
    }
    for (auto folder = src.begin(); folder != src.end(); ++folder)
        for (auto it = folder->begin(); it != folder->end(); ++it)
            QVERIFY(put(pf.at(u"src/%1/%2"_s.arg(folder.key(), it.key())), *it));
    QCOMPARE(runTool(u"zip"_s, {u"-jq"_s, pf.at(u"src/in.zip"_s), pf.at(u"src/docs/d0.txt"_s),
                                pf.at(u"src/docs/d1.txt"_s), pf.at(u"src/docs/d2.txt"_s)})
                 .exitCode,
             0);
    QVERIFY(QDir().mkpath(pf.at(u"out/a"_s)) && QDir().mkpath(pf.at(u"out/b"_s)));
    const QMap<QString, QString> scripts{
        {u"photos.zsc"_s, u"File1=@/src/photos/*\nDir1=@/out/a\nDir2=@/out/b\nZipFile=Photos"_s},
        {u"docs.zsc"_s, u"File1=@/src/docs/*.txt\nDir1=@/out/a\nZipFile=Docs"_s},
        {u"more.zsc"_s, u"File1=@/src/more/*.txt\nDir1=@/out/a\nZipFile=Docs"_s},
        {u"restore.usc"_s, u"ZipFile=@/src/in\nFile1=*.txt\nDir1=@/out/unpacked\nOverwrite=Yes"_s}};
    QMap<QString, QStringList> lines;
    for (auto it = scripts.begin(); it != scripts.end(); ++it) {
        pf.writeScript(it.key(), *it + u"\nCompressionMode=Fast"_s);
        lines[it.key()] = scriptLines(pf.script(it.key()));
    }

    for (int round = 0; round < 3; ++round) {
        const auto [ra, rb] = together(pf, {a}, {b});
        QVERIFY2(ra == 0 && rb == 0, qPrintable(pf.logText()));
        QVERIFY2(!QFile::exists(pf.log()), qPrintable(pf.logText()));
        QCOMPARE(members(pf.at(u"out/a/Photos.zip"_s)), src[u"photos"_s]);
        QCOMPARE(members(pf.at(u"out/b/Photos.zip"_s)), src[u"photos"_s]);
        // Docs.zip holds whichever of the two scripts ran last, whole.
        const auto docs = members(pf.at(u"out/a/Docs.zip"_s));
        QVERIFY(docs == src[u"docs"_s] || docs == src[u"more"_s]);
        for (const QString& archive : {u"a/Photos.zip"_s, u"b/Photos.zip"_s, u"a/Docs.zip"_s})
            QVERIFY2(peersPass(pf.at(u"out/"_s + archive)), qPrintable(archive));
        for (auto it = src[u"docs"_s].begin(); it != src[u"docs"_s].end(); ++it)
            QCOMPARE(get(pf.at(u"out/unpacked/"_s + it.key())), *it);
        // Every script keeps its keys and gains its stamp, with no error mark.
        for (auto it = scripts.begin(); it != scripts.end(); ++it) {
            const QString text = QString::fromUtf8(get(pf.script(it.key())));
            QVERIFY2(scriptLines(pf.script(it.key())) == lines[it.key()] &&
                         text.contains(u"\r\nLastRun="_s) && !text.contains(u"Error="_s),
                     qPrintable(text));
        }
        QStringList locks{LockFileName(u"Docs.zip"_s), LockFileName(u"Photos.zip"_s)};
        locks.sort();
        QCOMPARE(filesIn(pf.tmp()), locks);
        QCOMPARE(filesIn(pf.at(u"out"_s)).filter(u".tarvik"_s), QStringList());
    }
}

// One process runs scripts that finish (each deletes the log it found empty),
// the other scripts that fail (each logs its lines): no line may be lost.
void ConcurrentBatchTest::logKeepsEveryLine() {
    ProgramFolder pf;
    QVERIFY(put(pf.at(u"src/a.txt"_s), sample(100'000, 1)));
    QVERIFY(put(pf.at(u"src/big.txt"_s), sample(1'500'000, 2)));
    QStringList good, bad;
    for (int i = 1; i <= 30; ++i) {
        good.append(u"good%1.zsc"_s.arg(i));
        bad.append(u"bad%1.zsc"_s.arg(i));
        pf.writeScript(good.last(), u"File1=@/src/a.txt\nDir1=@/out\nZipFile=Good%1"_s.arg(i));
        // The copy fails only after a while of building, with the log open.
        pf.writeScript(bad.last(), u"File1=@/src/big.txt\nDir1=@/missing\nZipFile=Bad%1"_s.arg(i));
    }
    const auto [ra, rb] = together(pf, {good.join(u',')}, {bad.join(u',')});
    QCOMPARE(ra, 0);
    QCOMPARE(rb, 2);
    const QString log = pf.logText();
    for (const QString& name : bad) {
        QVERIFY2(log.contains(pf.script(name) + u"  Unable to copy zip file to "_s),
                 qPrintable(name));
        QVERIFY2(log.contains(pf.script(name) + u"  Aborted : No copy of the zip file was made."_s),
                 qPrintable(name));
    }
    QCOMPARE(log.count(u"\r\n"_s), 2 * bad.size());
}

QTEST_GUILESS_MAIN(ConcurrentBatchTest)
#include "tst_concurrent_batch.moc"
