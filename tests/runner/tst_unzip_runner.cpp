#include "RunnerFixture.h"
#include "runner/UnzipRunner.h"
#include "storage/Scramble.h"

#include <QTest>
#include <cstdio>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

using namespace tarvik;
using namespace Qt::StringLiterals;

class UnzipRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void runs_data();
    void runs();
    void archiveReplacedDuringRunStays();
};

// Every row runs job.usc over in.zip, which Info-ZIP made of a.txt and
// deep/b.txt. Keys change the base script ('@' is the root; an empty value
// drops the key). Log lines lose stamp and script folder.
void UnzipRunnerTest::runs_data() {
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("files");
    const auto row = [](const char* name, const Keys& keys, const char* setUp, int result,
                        const QString& log, const QString& files) {
        Keys k{{u"ZipFile"_s, u"@/in"_s},
               {u"File1"_s, u"*.*"_s},
               {u"Dir1"_s, u"@/out1"_s},
               {u"Delete"_s, u"Yes"_s}};
        k.insert(keys);
        QTest::newRow(name) << k << QString::fromUtf8(setUp) << result << log << files;
    };
    const QString in = u"in.zip=a.txt,deep/,deep/b.txt"_s,
                  kept = u"job.usc  Kept zip file @/in.zip"_s;
    row("archive is checked first", {{u"ZipFile"_s, {}}, {u"File1"_s, {}}, {u"Dir1"_s, {}}}, "", 2,
        u"job.usc  Aborted : No zip file in script file to process."_s, in);
    row("no members", {{u"File1"_s, {}}}, "", 2,
        u"job.usc  Aborted : No file specs in script file to process."_s, in);
    row("no directories", {{u"Dir1"_s, {}}}, "", 2,
        u"job.usc  Aborted : No directories in script file to process."_s, in);
    row("archive not found", {{u"ZipFile"_s, u"@/missing"_s}}, "", 2,
        u"job.usc  Aborted due to error 100 : Could not find the archive file."_s, in);
    row("not a zip", {{u"ZipFile"_s, u"@/bad"_s}}, "garbage", 2,
        u"job.usc  Aborted due to error 110 : The archive file is corrupted. Try using the Fix "
        u"option on it."_s,
        u"bad.zip? "_s + in);
    row("extracts into each directory, then deletes", {{u"Dir2"_s, u"@/out2/new"_s}}, "", 0, {},
        u"out1/a.txt out1/deep/b.txt out2/new/a.txt out2/new/deep/b.txt"_s);
    row("read-only archive stays", {}, "ro-archive", 0,
        u"job.usc  Unable to delete zip file @/in.zip. Error 13 : Permission denied"_s,
        in + u" out1/a.txt out1/deep/b.txt"_s);
    row("upper-case ending", {{u"ZipFile"_s, u"@/Data"_s}}, "upper", 0, {},
        u"out1/a.txt out1/deep/b.txt"_s);
    row("exact name first", {{u"File1"_s, u"a.txt"_s}}, "both", 0, {}, u"in.ZIP out1/a.txt"_s);
    // The script's scrambled password reaches the engine; a refusal aborts.
    row("AES password", {{u"Password"_s, Scramble(u"pa ss"_s).value()}}, "aes", 0, {},
        u"out1/a.txt"_s);
    row("wrong password", {{u"Password"_s, Scramble(u"nope"_s).value()}}, "traditional", 2,
        u"job.usc  Aborted due to error 40 : Some files were skipped while extracting files in "
        u"zip file."_s,
        u"in.zip?"_s);
    // The archive goes only when a member came out of it or was left out on
    // purpose by a newer-only mode.
    row("specs match nothing", {{u"File1"_s, u"*.doc"_s}}, "", 0,
        kept + u": no file was extracted from it."_s, in);
    row("every file exists, overwrite off", {{u"File1"_s, u"a.txt"_s}, {u"Overwrite"_s, u"No"_s}},
        "older", 0, kept + u": no file was extracted from it."_s, in + u" out1/a.txt"_s);
    row("newer-only mode leaves the newer file",
        {{u"File1"_s, u"a.txt"_s}, {u"Extract"_s, u"newer"_s}, {u"Overwrite"_s, u"Yes"_s}}, "newer",
        0, {}, u"out1/a.txt"_s);
}

void UnzipRunnerTest::runs() {
    QFETCH(Keys, keys);
    QFETCH(QString, setUp);
    QFETCH(int, result);
    QFETCH(QString, log);
    QFETCH(QString, files);
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "alpha");
    fx.writeFile("src/deep/b.txt", "bravo");
    QVERIFY(infoZip(fx.path("src"), {u"-r"_s, fx.path("in.zip"), u"."_s}));
    keys.removeIf([](const auto& key) { return key.value().isEmpty(); });
    fx.writeScript(u"job.usc"_s, keys);
    const QString in = fx.path("in.zip");
    if (setUp == u"garbage")
        fx.writeFile("bad.zip", QByteArray(4000, 'g'));
    if (setUp == u"ro-archive")
        QVERIFY(QFile::setPermissions(in, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    if (setUp == u"upper")
        QVERIFY(QFile::rename(in, fx.path("Data.ZIP")));
    if (setUp == u"both")
        QVERIFY(QFile::copy(in, fx.path("in.ZIP")));
    if (setUp == u"aes")
        QVERIFY(QFile::remove(in) && runTool(u"7z"_s, {u"a"_s, u"-tzip"_s, u"-mem=AES256"_s,
                                                       u"-ppa ss"_s, in, fx.path("src/a.txt")})
                                             .exitCode == 0);
    if (setUp == u"traditional")
        QVERIFY(QFile::remove(in) &&
                infoZip(fx.path("src"), {u"-P"_s, u"pa ss"_s, in, u"a.txt"_s}));
    if (setUp == u"older" || setUp == u"newer") {
        fx.writeFile("out1/a.txt", "on disk");
        QVERIFY(setModified(fx.path("out1/a.txt"), setUp == u"newer" ? 4000000000 : 600000000));
    }
    QCOMPARE(int(RunUnzipScript(u"job.usc"_s, fx.context)), result);
    QCOMPARE(fx.logLines().join(u'|'), log);
    QCOMPARE(fx.files(u"src/"_s).join(u' '), files);
    QCOMPARE(ReadIni(u"Options"_s, u"LastRun"_s, {}, fx.scriptPath(u"job.usc"_s)), fx.kStamp);
    QVERIFY(!log.isEmpty() || !QFile::exists(fx.logPath())); // no empty log left
    if (result == 0 && !setUp.isEmpty()) // what came out is the archive's, what stayed the disk's
        QCOMPARE(readFile(fx.path("out1/a.txt")), setUp == u"older" || setUp == u"newer"
                                                      ? QByteArray("on disk")
                                                      : QByteArray("alpha"));
}

// Another file renamed over the archive while it is being extracted is not
// the file that was extracted: it stays.
void UnzipRunnerTest::archiveReplacedDuringRunStays() {
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "alpha");
    fx.writeFile("src/big.bin", mixedData(24 << 20, 1, true));
    fx.writeFile("src/c.txt", "never extracted");
    QVERIFY(infoZip(fx.path("src"), {u"-0"_s, fx.path("in.zip"), u"a.txt"_s, u"big.bin"_s}));
    QVERIFY(infoZip(fx.path("src"), {fx.path("other.zip"), u"c.txt"_s}));
    const QByteArray replacement = readFile(fx.path("other.zip"));
    fx.writeScript(u"job.usc"_s, {{u"ZipFile"_s, u"@/in"_s},
                                  {u"File1"_s, u"*.*"_s},
                                  {u"Dir1"_s, u"@/out1"_s},
                                  {u"Dir2"_s, u"@/out2"_s},
                                  {u"Delete"_s, u"Yes"_s}});
    // As soon as the first file lands in out1, another file takes the archive's name.
    const int watch = inotify_init1(IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(fx.path("out1")).constData(),
                              IN_CREATE | IN_MOVED_TO) >= 0);
    std::thread replacer([&] {
        char events[4096];
        if (::read(watch, events, sizeof events) > 0)
            ::rename(QFile::encodeName(fx.path("other.zip")).constData(),
                     QFile::encodeName(fx.path("in.zip")).constData());
    });
    const int result = RunUnzipScript(u"job.usc"_s, fx.context);
    replacer.join();
    ::close(watch);
    QCOMPARE(result, 0);
    QCOMPARE(readFile(fx.path("in.zip")), replacement);
    QCOMPARE(fx.logLines(),
             QStringList{u"job.usc  Kept zip file @/in.zip: it changed while it was extracted."_s});
}

QTEST_GUILESS_MAIN(UnzipRunnerTest)
#include "tst_unzip_runner.moc"
