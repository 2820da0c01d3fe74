// SIGKILL at random moments of a batch that runs a long zip script and then a
// long unzip script, fifty times in a row, with no clean-up in between. After
// every kill the files on disk must be whole: scripts and settings parse with
// every key, each destination holds its previous archive or the complete new
// one and no other file under a visible name, every extracted file is its old
// or its new content, and no source is gone without a checked copy.
#include "ReliabilityFixture.h"
#include "storage/FileOps.h"

#include <QElapsedTimer>
#include <QThread>

using namespace reliability;
using namespace tarvik;

namespace {

constexpr int kKills = 50;

const QStringList kZipKeys{u"File1"_s,   u"File2"_s,           u"Dir1"_s,       u"Dir2"_s,
                           u"ZipFile"_s, u"CompressionMode"_s, u"Description"_s};
const QStringList kUnzipKeys{u"ZipFile"_s,   u"File1"_s,  u"Dir1"_s,
                             u"Overwrite"_s, u"Delete"_s, u"Description"_s};
const QStringList kDestinations{u"out/one"_s, u"out/two"_s};

} // namespace

class CrashKillTest : public QObject {
    Q_OBJECT
private slots:
    void killedRunsLoseNothing();

private:
    void prepare();
    void checkAfterKill(int round);
    void restoreInputs(int round);

    ProgramFolder pf_;
    QMap<QString, QByteArray> sources_; // zip sources, relative path -> content
    QMap<QString, QByteArray> marked_;  // the delete-marked ones
    QMap<QString, QByteArray> members_; // what the unzip archive holds
    QByteArray packArchive_;
    QMap<QString, QString> zipScript_;
    QMap<QString, QString> unzipScript_;
    QByteArray settings_;
    // Per destination: the archive content it may hold (its last checked one
    // or the one a run of the current sources makes).
    QMap<QString, QMap<QString, QByteArray>> lastGood_;
    int completedZips_ = 0;
    int completedUnzips_ = 0;
};

// Member names of the zip script's archive (paths are not stored).
static QMap<QString, QByteArray> byFileName(const QMap<QString, QByteArray>& files) {
    QMap<QString, QByteArray> named;
    for (auto it = files.begin(); it != files.end(); ++it)
        named.insert(QFileInfo(it.key()).fileName(), it.value());
    return named;
}

void CrashKillTest::prepare() {
    for (int i = 0; i < 4; ++i)
        sources_.insert(u"src/big/part%1.txt"_s.arg(i), sampleText(2'000'000, 100 + i));
    sources_.insert(u"src/big/noise.bin"_s, sampleNoise(1'000'000, 110));
    sources_.insert(u"src/big/stamp.txt"_s, "round 0");
    marked_.insert(u"src/mark/m1.txt"_s, sampleText(300'000, 120));
    marked_.insert(u"src/mark/m2.txt"_s, sampleText(200'000, 121));
    for (const auto* files : {&sources_, &marked_})
        for (auto it = files->begin(); it != files->end(); ++it)
            QVERIFY(writeBytes(pf_.path(it.key()), it.value()));
    for (const QString& dir : kDestinations)
        QVERIFY(QDir().mkpath(pf_.path(dir)));

    for (int i = 0; i < 3; ++i)
        members_.insert(u"data/blob%1.bin"_s.arg(i), sampleNoise(3'000'000, 130 + i));
    members_.insert(u"notes.txt"_s, sampleText(1'000'000, 140));
    const QString staging = pf_.scratch(u"pack"_s);
    for (auto it = members_.begin(); it != members_.end(); ++it)
        QVERIFY(writeBytes(staging + u'/' + it.key(), it.value()));
    QProcess zip;
    zip.setWorkingDirectory(staging);
    zip.start(u"zip"_s, {u"-qr1"_s, pf_.path(u"src/pack.zip"_s), u"."_s});
    QVERIFY(zip.waitForFinished(120000) && zip.exitCode() == 0);
    packArchive_ = readBytes(pf_.path(u"src/pack.zip"_s));

    pf_.writeScript(u"big.zsc"_s, {{u"File1"_s, pf_.path(u"src/big/*"_s)},
                                   {u"File2"_s, u"X,"_s + pf_.path(u"src/mark/*.txt"_s)},
                                   {u"Dir1"_s, pf_.path(kDestinations[0])},
                                   {u"Dir2"_s, pf_.path(kDestinations[1])},
                                   {u"ZipFile"_s, u"Big"_s},
                                   {u"CompressionMode"_s, u"Normal"_s},
                                   {u"Description"_s, u"Long zip run"_s}});
    pf_.writeScript(u"restore.usc"_s, {{u"ZipFile"_s, pf_.path(u"src/pack"_s)},
                                       {u"File1"_s, u"*.*"_s},
                                       {u"Dir1"_s, pf_.path(u"out/x"_s)},
                                       {u"Overwrite"_s, u"Yes"_s},
                                       {u"Delete"_s, u"Yes"_s},
                                       {u"Description"_s, u"Long unzip run"_s}});
    zipScript_ =
        scriptValues(pf_.script(u"big.zsc"_s), kZipKeys).value_or(QMap<QString, QString>());
    unzipScript_ =
        scriptValues(pf_.script(u"restore.usc"_s), kUnzipKeys).value_or(QMap<QString, QString>());
    settings_ = readBytes(pf_.settingsFile());
}

// Before each round: the sources change a little (so a new archive differs
// from the old one), marked files a run deleted come back, and extracted
// files are set back to an old content.
void CrashKillTest::restoreInputs(int round) {
    sources_[u"src/big/stamp.txt"_s] = "round " + QByteArray::number(round);
    QVERIFY(writeBytes(pf_.path(u"src/big/stamp.txt"_s), sources_[u"src/big/stamp.txt"_s]));
    for (auto it = marked_.begin(); it != marked_.end(); ++it)
        if (!QFile::exists(pf_.path(it.key())))
            QVERIFY(writeBytes(pf_.path(it.key()), it.value()));
    if (!QFile::exists(pf_.path(u"src/pack.zip"_s)))
        QVERIFY(writeBytes(pf_.path(u"src/pack.zip"_s), packArchive_));
    for (auto it = members_.begin(); it != members_.end(); ++it)
        QVERIFY(writeBytes(pf_.path(u"out/x/"_s + it.key()), "OLD " + it.key().toUtf8()));
}

void CrashKillTest::checkAfterKill(int round) {
    const QString where = u"after kill %1: "_s.arg(round);
    QCOMPARE(scriptValues(pf_.script(u"big.zsc"_s), kZipKeys), zipScript_);
    QCOMPARE(scriptValues(pf_.script(u"restore.usc"_s), kUnzipKeys), unzipScript_);
    QVERIFY(LoadIniDocument(pf_.settingsFile()).has_value());
    QCOMPARE(readBytes(pf_.settingsFile()), settings_);

    // Destinations: the last checked archive or the complete new one.
    QMap<QString, QByteArray> expected = byFileName(sources_);
    expected.insert(byFileName(marked_));
    bool anyNew = false;
    for (const QString& dir : kDestinations) {
        const QString archive = pf_.path(dir + u"/Big.zip"_s);
        if (!QFile::exists(archive)) {
            QVERIFY2(!lastGood_.contains(dir), qPrintable(where + dir + u" lost its archive"_s));
            continue;
        }
        const std::optional<QMap<QString, QByteArray>> content = zipContents(archive);
        QVERIFY2(content && unzipTestPasses(archive),
                 qPrintable(where + dir + u" holds a damaged archive"_s));
        const bool isNew = *content == expected;
        QVERIFY2(isNew || (lastGood_.contains(dir) && *content == lastGood_[dir]),
                 qPrintable(where + dir + u" holds an archive of neither run"_s));
        anyNew = anyNew || isNew;
        lastGood_[dir] = *content;
    }
    if (anyNew)
        ++completedZips_;
    // Nothing shows in a destination but the archive: a copy under way has no
    // name, or a hidden one of the form the next run removes.
    for (const QString& dir : kDestinations)
        for (const QString& name : filesNamed(pf_.path(dir), QString()))
            QVERIFY2(name == u"Big.zip"_s || name.startsWith(TemporarySiblingPrefix(u"Big.zip"_s)),
                     qPrintable(where + dir + u" holds "_s + name));

    // Sources: unmarked ones never change; a marked one may be gone only when
    // a complete new archive holds it.
    for (auto it = sources_.begin(); it != sources_.end(); ++it)
        QCOMPARE(readBytes(pf_.path(it.key())), it.value());
    for (auto it = marked_.begin(); it != marked_.end(); ++it) {
        if (QFile::exists(pf_.path(it.key())))
            QCOMPARE(readBytes(pf_.path(it.key())), it.value());
        else
            QVERIFY2(anyNew, qPrintable(where + it.key() + u" deleted without a copy"_s));
    }

    // Extraction: each file whole, old or new; the archive goes only after
    // every member is out.
    bool allOut = true;
    for (auto it = members_.begin(); it != members_.end(); ++it) {
        const QByteArray now = readBytes(pf_.path(u"out/x/"_s + it.key()));
        QVERIFY2(now == it.value() || now == "OLD " + it.key().toUtf8(),
                 qPrintable(where + it.key() + u" is damaged"_s));
        allOut = allOut && now == it.value();
    }
    if (QFile::exists(pf_.path(u"src/pack.zip"_s)))
        QCOMPARE(readBytes(pf_.path(u"src/pack.zip"_s)), packArchive_);
    else
        QVERIFY2(allOut, qPrintable(where + u"archive deleted before it was extracted"_s));
    if (allOut)
        ++completedUnzips_;
}

void CrashKillTest::killedRunsLoseNothing() {
    prepare();
    restoreInputs(0);
    // One run to its end, to learn how long a run takes here.
    QElapsedTimer clock;
    clock.start();
    const BatchResult first = pf_.run({u"big.zsc,restore.usc"_s});
    const qint64 runMs = clock.elapsed();
    QVERIFY2(first.exitCode == 0, qPrintable(pf_.logText()));
    checkAfterKill(0);

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("kill moments seeded with %u; a whole run took %lld ms", seed, qlonglong(runMs));
    QRandomGenerator random(seed);
    int passed = 0;
    for (int round = 1; round <= kKills; ++round) {
        restoreInputs(round);
        QProcess p;
        pf_.start(p, {u"big.zsc,restore.usc"_s}, pf_.environment());
        QVERIFY(p.waitForStarted());
        QThread::msleep(random.bounded(quint32(runMs) + 1));
        p.kill(); // SIGKILL
        QVERIFY(p.waitForFinished(60000));
        checkAfterKill(round);
        if (QTest::currentTestFailed())
            break;
        ++passed;
    }
    qInfo("kills passed: %d of %d (kills after which a complete new archive was found in a "
          "destination: %d; after which every member was extracted: %d)",
          passed, kKills, completedZips_, completedUnzips_);

    // A run to its end cleans up after the killed ones.
    restoreInputs(kKills + 1);
    QVERIFY2(pf_.run({u"big.zsc,restore.usc"_s}).exitCode == 0, qPrintable(pf_.logText()));
    checkAfterKill(kKills + 1);
    QCOMPARE(filesNamed(pf_.tempFolder(), QString()), QStringList{LockFileName(u"Big.zip"_s)});
    for (const QString& dir : kDestinations)
        QCOMPARE(filesNamed(pf_.path(dir), QString()), QStringList{u"Big.zip"_s});
    // Extraction writes each file unnamed beside its target and gives it a
    // hidden name only to rename it over the target: a kill in that moment
    // leaves a complete copy behind, never a half-written file.
    const QStringList leftovers = filesNamed(pf_.path(u"out/x"_s), u".tarvik-"_s);
    for (const QString& name : leftovers) {
        const QByteArray content = readBytes(pf_.path(u"out/x/"_s + name));
        QVERIFY2(std::find(members_.begin(), members_.end(), content) != members_.end(),
                 qPrintable(name + u" is a half-written file"_s));
    }
    qInfo("complete copies left under a hidden name by kills: %lld", qlonglong(leftovers.size()));
}

QTEST_GUILESS_MAIN(CrashKillTest)
#include "tst_crash_kill.moc"
