// Two batch processes started together over one script folder, as two cron
// lines (or cron and the window) do: two scripts build Docs.zip into the same
// folder, every script runs in both, and the failing ones log while the other
// process finishes runs (and deletes the log it found empty).
#include "ProgramFolder.h"
#include "storage/FileOps.h"

using namespace tarvik;

class ConcurrentBatchTest : public QObject {
    Q_OBJECT
private slots:
    void twoProcesses_data();
    void twoProcesses();
};

void ConcurrentBatchTest::twoProcesses_data() {
    QTest::addColumn<QStringList>("args"); // of the two processes
    QTest::addColumn<QList<int>>("codes"); // their exit codes: 2 when it ran the failing scripts
    QTest::newRow("-a and -a") << QStringList{u"-a"_s, u"-a"_s} << QList<int>{2, 2};
    QTest::newRow("-az and a list")
        << QStringList{u"-az"_s, u"photos.zsc,docs.zsc,more.zsc,restore.usc,"_s.repeated(5)}
        << QList<int>{2, 0};
    QTest::newRow("a pattern and -a") << QStringList{u"*o*.zsc"_s, u"-a"_s} << QList<int>{0, 2};
}

void ConcurrentBatchTest::twoProcesses() {
    QFETCH(QStringList, args);
    QFETCH(QList<int>, codes);
    const int failing = 5 * (codes[0] + codes[1]); // runs that log their failure
    ProgramFolder pf;
    QMap<QString, Files> src; // photos do not compress
    for (int i = 0; i < 9; ++i) {
        const QString folder = QStringList{u"photos"_s, u"docs"_s, u"more"_s}[i % 3];
        const QString name = u"f%1.txt"_s.arg(i);
        QVERIFY(
            writeFile(pf.at(u"src/%1/%2"_s.arg(folder, name)),
                      src[folder][name] = mixedData(300'000 + 100'000 * (i % 3), i, i % 3 == 0)));
    }
    QCOMPARE(runTool(u"zip"_s, {u"-jqr"_s, pf.at(u"src/in.zip"_s), pf.at(u"src/docs"_s)}).exitCode,
             0);
    QVERIFY(QDir().mkpath(pf.at(u"out/a"_s)) && QDir().mkpath(pf.at(u"out/b"_s)));
    QMap<QString, QString> scripts{
        {u"photos.zsc"_s, u"File1=@/src/photos/*\nDir1=@/out/a\nDir2=@/out/b\nZipFile=Photos"_s},
        {u"docs.zsc"_s, u"File1=@/src/docs/*.txt\nDir1=@/out/a\nZipFile=Docs"_s},
        {u"more.zsc"_s, u"File1=@/src/more/*.txt\nDir1=@/out/a\nZipFile=Docs"_s},
        {u"restore.usc"_s, u"ZipFile=@/src/in\nFile1=*.txt\nDir1=@/out/x\nOverwrite=Yes"_s}};
    // The copy fails only after a while of building, with the log open.
    for (int i = 0; i < 10; ++i)
        scripts[u"bad%1.zsc"_s.arg(i)] =
            u"File1=@/src/docs/*\nDir1=@/missing\nZipFile=Bad%1"_s.arg(i);
    QMap<QString, QStringList> lines;
    for (auto it = scripts.begin(); it != scripts.end(); ++it) {
        pf.writeScript(it.key(), *it + u"\nCompressionMode=Fast"_s);
        lines[it.key()] = scriptLines(pf.script(it.key()));
    }
    QStringList locks{LockFileName(u"Docs.zip"_s), LockFileName(u"Photos.zip"_s)};
    for (int i = 0; i < 10; ++i)
        locks << LockFileName(u"Bad%1.zip"_s.arg(i)) << u"Bad%1.zip"_s.arg(i); // kept
    locks.sort();
    // The second round replaces the archives the first one left.
    for (int round = 1; round <= 2; ++round) {
        QProcess a, b;
        pf.start(a, {args[0]});
        pf.start(b, {args[1]});
        for (QProcess* p : {&a, &b})
            QVERIFY(p->waitForFinished(300000) && p->exitStatus() == QProcess::NormalExit);
        QCOMPARE(QList<int>({a.exitCode(), b.exitCode()}), codes);
        QCOMPARE(members(pf.at(u"out/a/Photos.zip"_s)), src[u"photos"_s]);
        QCOMPARE(members(pf.at(u"out/b/Photos.zip"_s)), src[u"photos"_s]);
        // Docs.zip holds whichever of the two scripts ran last, whole.
        const auto docs = members(pf.at(u"out/a/Docs.zip"_s));
        QVERIFY(docs == src[u"docs"_s] || docs == src[u"more"_s]);
        for (const QString& archive : {u"a/Photos.zip"_s, u"b/Photos.zip"_s, u"a/Docs.zip"_s})
            QVERIFY2(peersPass(pf.at(u"out/"_s + archive)), qPrintable(archive));
        for (auto it = src[u"docs"_s].begin(); it != src[u"docs"_s].end(); ++it)
            QCOMPARE(readFile(pf.at(u"out/x/"_s + it.key())), *it);
        // Every script keeps its keys and gains its stamp, the error mark
        // when it failed.
        for (auto it = scripts.begin(); it != scripts.end(); ++it) {
            const QByteArray text = readFile(pf.script(it.key()));
            QVERIFY2(scriptLines(pf.script(it.key())) == lines[it.key()] &&
                         text.contains("\r\nLastRun=") &&
                         text.contains("\r\nError=X") == it.key().startsWith(u"bad"_s),
                     text.constData());
        }
        // No log line is lost, though the other process deletes the log it
        // found empty.
        const QString log = pf.logText();
        QCOMPARE(log.count(u"\r\n"_s), 2 * failing * round);
        for (int i = 0; i < 10; ++i)
            QVERIFY2(log.contains(pf.script(u"bad%1.zsc"_s.arg(i)) +
                                  u"  Aborted : No copy of the zip file was made. Kept "_s),
                     qPrintable(log));
        QCOMPARE(filesBelow(pf.tmp()), locks);
        QCOMPARE(filesBelow(pf.at(u"out"_s)).filter(u".tarvik"_s), QStringList());
    }
}

QTEST_GUILESS_MAIN(ConcurrentBatchTest)
#include "tst_concurrent_batch.moc"
