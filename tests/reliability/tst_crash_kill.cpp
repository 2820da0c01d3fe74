// SIGKILL at random moments of a batch that runs a long zip script and then a
// long unzip script, fifty times in a row with no clean-up in between. After
// every kill the files on disk must be whole: scripts and settings as they
// were, each destination its last archive or the complete new one, every
// extracted file its old or its new content, no source gone without a checked
// copy, and beside each archive at most the one unfinished copy that the next
// run removes.
#include "ProgramFolder.h"
#include "storage/FileOps.h"

#include <QElapsedTimer>
#include <QThread>

using namespace tarvik;

class CrashKillTest : public QObject {
    Q_OBJECT
private slots:
    void killedRunsLoseNothing();

private:
    void restore(int round);
    void check(int round);

    ProgramFolder pf_;
    Files sources_; // below src; those in mark/ carry the delete mark
    Files members_; // of src/pack.zip, extracted into out/x
    QByteArray pack_, settings_;
    QStringList scripts_;
    QMap<QString, Files> lastGood_; // per destination: the archive it held last
};

// Before each round the sources change a little (so each new archive differs
// from the last), deleted ones come back, and extracted files get old content.
void CrashKillTest::restore(int round) {
    sources_[u"big/stamp.txt"_s] = "round " + QByteArray::number(round);
    for (auto it = sources_.begin(); it != sources_.end(); ++it)
        if (get(pf_.at(u"src/"_s + it.key())) != *it)
            QVERIFY(put(pf_.at(u"src/"_s + it.key()), *it));
    if (!QFile::exists(pf_.at(u"src/pack.zip"_s)))
        QVERIFY(put(pf_.at(u"src/pack.zip"_s), pack_));
    for (auto it = members_.begin(); it != members_.end(); ++it)
        QVERIFY(put(pf_.at(u"out/x/"_s + it.key()), "OLD " + it.key().toUtf8()));
}

void CrashKillTest::check(int round) {
    const QString where = u"after kill %1: "_s.arg(round);
    QCOMPARE(scriptLines(pf_.script(u"big.zsc"_s)) + scriptLines(pf_.script(u"pack.usc"_s)),
             scripts_);
    QCOMPARE(get(pf_.ini()), settings_);
    Files expected;
    for (auto it = sources_.begin(); it != sources_.end(); ++it)
        expected.insert(QFileInfo(it.key()).fileName(), *it);
    bool anyNew = false;
    for (const QString& dir : {pf_.at(u"out/one"_s), pf_.at(u"out/two"_s)}) {
        QStringList beside = filesIn(dir);
        const bool there = beside.removeOne(u"Big.zip"_s);
        QVERIFY2(beside.isEmpty() || (beside.size() == 1 &&
                                      beside[0].startsWith(TemporarySiblingPrefix(u"Big.zip"_s))),
                 qPrintable(where + beside.join(u", "_s)));
        QVERIFY2(there || !lastGood_.contains(dir),
                 qPrintable(where + dir + u" lost its archive"_s));
        if (!there)
            continue;
        const std::optional<Files> content = members(dir + u"/Big.zip"_s);
        QVERIFY2(content && unzipTestPasses(dir + u"/Big.zip"_s), qPrintable(where + dir));
        QVERIFY2(*content == expected || *content == lastGood_.value(dir),
                 qPrintable(where + dir + u" holds an archive of neither run"_s));
        anyNew = anyNew || *content == expected;
        lastGood_[dir] = *content;
    }
    for (auto it = sources_.begin(); it != sources_.end(); ++it) {
        const QString source = pf_.at(u"src/"_s + it.key());
        QVERIFY2(get(source) == *it ||
                     (anyNew && it.key().startsWith(u"mark/"_s) && !QFile::exists(source)),
                 qPrintable(where + source));
    }
    // Extraction: each file whole, old or new; the archive goes only after
    // every member is out. A kill between naming a finished file and renaming
    // it over its target leaves it under a hidden name, whole.
    bool allOut = true;
    for (auto it = members_.begin(); it != members_.end(); ++it) {
        const QByteArray now = get(pf_.at(u"out/x/"_s + it.key()));
        QVERIFY2(now == *it || now == "OLD " + it.key().toUtf8(), qPrintable(where + it.key()));
        allOut = allOut && now == *it;
    }
    for (const QString& name : filesIn(pf_.at(u"out/x"_s)).filter(u".tarvik-"_s))
        QVERIFY2(std::count(members_.begin(), members_.end(), get(pf_.at(u"out/x/"_s + name))),
                 qPrintable(where + name + u" is half-written"_s));
    QVERIFY2(QFile::exists(pf_.at(u"src/pack.zip"_s)) ? get(pf_.at(u"src/pack.zip"_s)) == pack_
                                                      : allOut,
             qPrintable(where + u"archive damaged or deleted before it was extracted"_s));
}

void CrashKillTest::killedRunsLoseNothing() {
    for (int i = 0; i < 4; ++i)
        sources_.insert(u"big/part%1.txt"_s.arg(i), sample(2'000'000, 100 + i));
    sources_.insert(u"big/noise.bin"_s, sample(1'000'000, 110, true));
    sources_.insert(u"mark/m1.txt"_s, sample(300'000, 120));
    sources_.insert(u"mark/m2.txt"_s, sample(200'000, 121));
    for (int i = 0; i < 3; ++i)
        members_.insert(u"data/blob%1.bin"_s.arg(i), sample(3'000'000, 130 + i, true));
    members_.insert(u"notes.txt"_s, sample(1'000'000, 140));
    for (auto it = members_.begin(); it != members_.end(); ++it)
        QVERIFY(put(pf_.scratch(u"pack/"_s + it.key()), *it));
    QProcess zip;
    zip.setWorkingDirectory(pf_.scratch(u"pack"_s));
    zip.start(u"zip"_s, {u"-qr1"_s, pf_.at(u"src/pack.zip"_s), u"."_s});
    QVERIFY(zip.waitForFinished(120000) && zip.exitCode() == 0);
    pack_ = get(pf_.at(u"src/pack.zip"_s));
    pf_.writeScript(u"big.zsc"_s, u"File1=@/src/big/*\nFile2=X,@/src/mark/*.txt\nDir1=@/out/one\n"
                                  u"Dir2=@/out/two\nZipFile=Big"_s);
    pf_.writeScript(u"pack.usc"_s,
                    u"ZipFile=@/src/pack\nFile1=*.*\nDir1=@/out/x\nOverwrite=Yes\nDelete=Yes"_s);
    QVERIFY(QDir().mkpath(pf_.at(u"out/one"_s)) && QDir().mkpath(pf_.at(u"out/two"_s)));
    scripts_ = scriptLines(pf_.script(u"big.zsc"_s)) + scriptLines(pf_.script(u"pack.usc"_s));
    settings_ = get(pf_.ini());
    const QStringList batch{u"big.zsc,pack.usc"_s};

    // One run to its end, to learn how long a run takes here.
    restore(0);
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(pf_.run(batch).code == 0, qPrintable(pf_.logText()));
    const qint64 runMs = clock.elapsed();
    check(0);
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("kill moments seeded with %u; a whole run took %lld ms", seed, qlonglong(runMs));
    QRandomGenerator random(seed);
    for (int round = 1; round <= 50 && !QTest::currentTestFailed(); ++round) {
        restore(round);
        QProcess p;
        pf_.start(p, batch);
        QVERIFY(p.waitForStarted());
        QThread::msleep(random.bounded(quint32(runMs) + 1));
        p.kill(); // SIGKILL
        QVERIFY(p.waitForFinished(60000));
        check(round);
    }

    // A run to its end leaves nothing but the archives, the lock, and the
    // hidden whole copies in out/x that no run removes.
    restore(51);
    QVERIFY2(pf_.run(batch).code == 0, qPrintable(pf_.logText()));
    check(51);
    QCOMPARE(filesIn(pf_.tmp()), QStringList{LockFileName(u"Big.zip"_s)});
    for (const QString& dir : {u"out/one"_s, u"out/two"_s})
        QCOMPARE(filesIn(pf_.at(dir)), QStringList{u"Big.zip"_s});
}

QTEST_GUILESS_MAIN(CrashKillTest)
#include "tst_crash_kill.moc"
