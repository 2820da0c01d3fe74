#include "RunnerFixture.h"
#include "runner/CommandLine.h"
#include "runner/ResultText.h"
#include "runner/UnzipRunner.h"
#include "runner/ZipRunner.h"
#include "storage/FileLock.h"
#include "storage/FileOps.h"
#include "storage/Scramble.h"
#include "storage/ZipScript.h"

#include <QTest>
#include <QThread>
#include <future>
#include <memory>
#include <optional>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

using namespace tarvik;
using namespace Qt::StringLiterals;

class RunnerTest : public QObject {
    Q_OBJECT
private slots:
    void runs_data();
    void runs();
    void sameArchiveNameInParallel();
    void smallRules();
    // Runs the user stops end early and leave nothing half made; runs left
    // alone report progress that only rises, up to the total.
    void stops_data();
    void stops();
};

// Every zip row runs job.zsc (or `script`) over src/a.txt; every unzip row runs
// job.usc over in.zip, which Info-ZIP made of src/a.txt and src/deep/b.txt.
// Keys change the base script ('@' is the root; an empty value drops the key);
// in the script file {NUL} and {SI} become those bytes. Log lines lose stamp
// and script folder; unzip rows do not show src.
void RunnerTest::runs_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("log"); // lines joined with '|'
    QTest::addColumn<QString>("files");
    const auto row = [](const char* name, const Keys& keys, const char* setUp, int result,
                        const QString& log, const QString& files,
                        const QString& script = u"job.zsc"_s) {
        Keys k = script.endsWith(u".usc") ? Keys{{u"ZipFile"_s, u"@/in"_s},
                                                 {u"File1"_s, u"*.*"_s},
                                                 {u"Dir1"_s, u"@/out1"_s},
                                                 {u"Delete"_s, u"Yes"_s}}
                                          : Keys{{u"File1"_s, u"@/src/*.txt"_s},
                                                 {u"Dir1"_s, u"@/out1"_s},
                                                 {u"ZipFile"_s, u"Backup"_s}};
        k.insert(keys);
        QTest::newRow(name) << script << k << QString::fromUtf8(setUp) << result << log << files;
    };
    const auto unzip = [&row](const char* name, const Keys& keys, const char* setUp, int result,
                              const QString& log, const QString& files) {
        row(("unzip, " + QByteArray(name)).constData(), keys, setUp, result, log, files,
            u"job.usc"_s);
    };
    const QString a = u"src/a.txt"_s, done = u"out1/Backup.zip=a.txt src/a.txt"_s;
    const QString noDirs = u"job.zsc  Aborted : No directories in script file to process."_s;
    row("only File2", {{u"File1"_s, {}}, {u"File2"_s, u"@/src/a.txt"_s}}, "", 2,
        u"job.zsc  Aborted : No file specs in script file to process."_s, a);
    // No directories, over an old log: runs append to it, or start it afresh;
    // a finished run leaves no empty one.
    row("aborted run appends", {{u"Dir1"_s, {}}}, "old-log", 2, u"old line|"_s + noDirs, a);
    row("aborted run afresh", {{u"Dir1"_s, {}}}, "afresh", 2, noDirs, a);
    row("finished run keeps the old log", {}, "old-log", 0, u"old line"_s, done);
    row("finished run afresh", {}, "afresh", 0, {}, done);
    row("what a killed run left unfinished goes", {}, "unfinished", 0, {}, done);
    // After four runs a second apart: only the newest three dated archives stay,
    // look-alikes are not touched, and the e-mail's link names the new one.
    row("three versions kept", {{u"Versions"_s, u"3"_s}, {u"HyperLink"_s, u"Yes"_s}}, "versions", 0,
        {},
        u"out1/Backup-2004031-140709.zip? out1/Backup-20040315-140707.zip=a.txt "
        u"out1/Backup-20040315-140708.zip=a.txt out1/Backup-20040315-140709.zip=a.txt "
        u"out1/Backup-20040315-140709.zip.bak out1/Other-20040101-000000.zip? "
        u"out1/backup-20040101-000000.zip? src/a.txt"_s);
    row("no zip file", {{u"ZipFile"_s, {}}}, "", 2,
        u"job.zsc  Aborted : No zip file in script file to process."_s, a);
    row("zip file with a folder", {{u"ZipFile"_s, u"../escape"_s}}, "", 2,
        u"job.zsc  Aborted : Unable to set zip file to @/tmp/../escape.zip. Error 22 : Invalid "
        u"argument"_s,
        a);
    row("nothing matches", {{u"File1"_s, u"@/src/*.none"_s}}, "", 2,
        u"job.zsc  Aborted due to error 50 : The Zip file is empty."_s, a);
    row("temporary folder is a link", {}, "tmp-link", 2,
        u"job.zsc  Aborted : Unable to create directory @/tmp. Error 40 : Too many levels of "
        u"symbolic links"_s,
        u"src/a.txt tmp"_s);
    row("NUL in a file spec", {{u"File1"_s, u"@/src/a.txt{NUL}"_s}}, "", 2,
        u"job.zsc  Aborted : Unable to process file specs. Error 22 : Invalid argument"_s, a);
    // Stored code 15 unscrambles at position 3 to NUL.
    row("NUL in the password", {{u"Password"_s, u"ab{SI}"_s}}, "", 2,
        u"job.zsc  Aborted : Unable to set zip file password. Error 22 : Invalid argument"_s, a);
    row("name one byte too long", {{u"ZipFile"_s, QString(252, u'n')}}, "long", 2,
        u"job.zsc  Aborted : Unable to set zip file to @/tmp/"_s + QString(252, u'n') +
            u".zip. Error 36 : File name too long"_s,
        a);
    // The lock and temporary files' names do not grow with the archive's.
    const QString longest = QString(251, u'n') + u".zip=a.txt"_s;
    row("longest name",
        {{u"ZipFile"_s, QString(251, u'n')},
         {u"File1"_s, u"X,@/src/a.txt"_s},
         {u"Dir2"_s, u"@/out2"_s}},
        "long", 0, {}, u"out1/"_s + longest + u" out2/"_s + longest);
    row("one directory missing", {{u"Dir1"_s, u"@/missing"_s}, {u"Dir2"_s, u"@/out2"_s}}, "", 0,
        u"job.zsc  Unable to copy zip file to @/missing. Error 2 : No such file or directory"_s,
        u"out2/Backup.zip=a.txt src/a.txt"_s);
    row("marked spec matches nothing", {{u"File2"_s, u"X,@/src/*.gone"_s}}, "", 0,
        u"job.zsc  Unable to delete file @/src/*.gone. Error 2 : No such file or directory"_s,
        done);
    row("read-only marked source", {{u"File1"_s, u"X,@/src/a.txt"_s}}, "ro-source", 0,
        u"job.zsc  Unable to delete file @/src/a.txt. Error 13 : Permission denied"_s, done);
    // The script list would otherwise show a stale state.
    row("read-only script", {}, "ro-script", 0,
        u"job.zsc  Unable to write LastRun to script file. Error 13 : Permission denied"_s, done);
    const QString busy = u". Error 11 : Resource temporarily unavailable"_s;
    row("writers' lock held elsewhere, aborted run", {{u"Dir1"_s, {}}}, "lock", 2,
        u"job.zsc  Unable to write LastRun to script file"_s + busy + u'|' + noDirs +
            u"|job.zsc  Unable to write Error to script file"_s + busy,
        a);
    row("no copy keeps the archive and the marked files",
        {{u"File1"_s, u"X,@/src/a.txt"_s}, {u"Dir1"_s, u"@/gone1"_s}, {u"Dir2"_s, u"@/gone2"_s}},
        "", 2,
        u"job.zsc  Unable to copy zip file to @/gone1. Error 2 : No such file or directory|"
        u"job.zsc  Unable to copy zip file to @/gone2. Error 2 : No such file or directory|"
        u"job.zsc  Aborted : No copy of the zip file was made. Kept @/tmp/Backup.zip and the "
        u"files marked for deletion."_s,
        u"src/a.txt tmp/Backup.zip=a.txt"_s);
    // The copy in the temporary folder is the temporary archive: it must stay.
    row("copy into the temporary folder",
        {{u"File1"_s, u"X,@/src/a.txt"_s}, {u"Dir1"_s, u"@/tmp"_s}}, "", 0, {},
        u"tmp/Backup.zip=a.txt"_s);
    row("copy into the temporary folder through a link, first of two",
        {{u"File1"_s, u"X,@/src/a.txt"_s}, {u"Dir1"_s, u"@/alias"_s}, {u"Dir2"_s, u"@/out1"_s}},
        "alias", 0, {}, u"alias out1/Backup.zip=a.txt tmp/Backup.zip=a.txt"_s);
    row("failed copy leaves the existing archive", {{u"Dir2"_s, u"@/out2"_s}}, "blocked", 0,
        u"job.zsc  Unable to copy zip file to @/out1. Error 21 : Is a directory"_s,
        u"out1/Backup.zip/inside out2/Backup.zip=a.txt src/a.txt"_s);
    row("archive left by an aborted run is replaced", {}, "leftover", 0, {},
        done + u" stale/old.txt"_s);
    row("marked files of the spec's own folder go, subfolders' stay",
        {{u"File1"_s, u"x,@/src/*.log"_s},
         {u"File2"_s, u"@/src/keep.txt"_s},
         {u"Dir2"_s, u"@/out2"_s},
         {u"StoreSubDirs"_s, u"Yes"_s},
         {u"CompressionMode"_s, u"Fast"_s}},
        "logs", 0, {},
        u"out1/Backup.zip=a.log,b.log,c.log,keep.txt out2/Backup.zip=a.log,b.log,c.log,keep.txt "
        u"src/a.txt src/keep.txt src/sub/c.log"_s);
    row("password", {{u"Password"_s, Scramble(u"s3cret pw"_s).value()}}, "", 0, {},
        u"out1/Backup.zip? src/a.txt"_s);
    // Names from a script folder or a script cannot forge log lines or reach a
    // terminal that shows the log.
    const Keys missing{{u"Dir1"_s, u"@/missing/\x1b]0;t\x07\x01\x1f\x7f"_s},
                       {u"Dir2"_s, u"@/out1"_s}};
    row("control characters show escaped", missing, "", 0,
        u"a\\r\\n2004-03-15 14:07:09  forged\\t.zsc  Unable to copy zip file to "
        u"@/missing/\\x1b]0;t\\x07\\x01\\x1f\\x7f. Error 2 : No such file or directory"_s,
        done, u"a\r\n2004-03-15 14:07:09  forged\t.zsc"_s);
    row("backslashes and non-ASCII stay",
        {{u"Dir1"_s, u"@/missing/\\n~"_s}, {u"Dir2"_s, u"@/out1"_s}}, "", 0,
        u"a\\x1b \u00e9.zsc  Unable to copy zip file to @/missing/\\n~. Error 2 : No such file or "
        u"directory"_s,
        done, u"a\\x1b \u00e9.zsc"_s);
    const QString in = u"in.zip=a.txt,deep/,deep/b.txt"_s,
                  kept = u"job.usc  Kept zip file @/in.zip"_s;
    unzip("archive is checked first", {{u"ZipFile"_s, {}}, {u"File1"_s, {}}, {u"Dir1"_s, {}}}, "",
          2, u"job.usc  Aborted : No zip file in script file to process."_s, in);
    unzip("no members", {{u"File1"_s, {}}}, "", 2,
          u"job.usc  Aborted : No file specs in script file to process."_s, in);
    unzip("no directories", {{u"Dir1"_s, {}}}, "", 2,
          u"job.usc  Aborted : No directories in script file to process."_s, in);
    unzip("archive not found", {{u"ZipFile"_s, u"@/missing"_s}}, "", 2,
          u"job.usc  Aborted due to error 100 : Could not find the archive file."_s, in);
    unzip("not a zip", {{u"ZipFile"_s, u"@/bad"_s}}, "garbage", 2,
          u"job.usc  Aborted due to error 110 : The archive file is corrupted. Try using the Fix "
          u"option on it."_s,
          u"bad.zip? "_s + in);
    unzip("extracts into each directory, then deletes", {{u"Dir2"_s, u"@/out2/new"_s}}, "", 0, {},
          u"out1/a.txt out1/deep/b.txt out2/new/a.txt out2/new/deep/b.txt"_s);
    unzip("read-only archive stays", {}, "ro-archive", 0,
          u"job.usc  Unable to delete zip file @/in.zip. Error 13 : Permission denied"_s,
          in + u" out1/a.txt out1/deep/b.txt"_s);
    unzip("upper-case ending", {{u"ZipFile"_s, u"@/Data"_s}}, "upper", 0, {},
          u"out1/a.txt out1/deep/b.txt"_s);
    unzip("exact name first", {{u"File1"_s, u"a.txt"_s}}, "both", 0, {}, u"in.ZIP out1/a.txt"_s);
    // The script's scrambled password reaches the engine; a refusal aborts.
    unzip("AES password", {{u"Password"_s, Scramble(u"pa ss"_s).value()}}, "aes", 0, {},
          u"out1/a.txt"_s);
    unzip("wrong password", {{u"Password"_s, Scramble(u"nope"_s).value()}}, "traditional", 2,
          u"job.usc  Aborted due to error 40 : Some files were skipped while extracting files in "
          u"zip file."_s,
          u"in.zip?"_s);
    // The archive goes only when a member came out of it or was left out on
    // purpose by a newer-only mode.
    unzip("specs match nothing", {{u"File1"_s, u"*.doc"_s}}, "", 0,
          kept + u": no file was extracted from it."_s, in);
    unzip("every file exists, overwrite off", {{u"File1"_s, u"a.txt"_s}, {u"Overwrite"_s, u"No"_s}},
          "older", 0, kept + u": no file was extracted from it."_s, in + u" out1/a.txt"_s);
    unzip("newer-only mode leaves the newer file",
          {{u"File1"_s, u"a.txt"_s}, {u"Extract"_s, u"newer"_s}, {u"Overwrite"_s, u"Yes"_s}},
          "newer", 0, {}, u"out1/a.txt"_s);
    // Another archive renamed over it while it is being extracted is not the
    // file that was extracted: it stays.
    unzip("archive replaced during the run stays", {}, "replaced", 0,
          kept + u": it changed while it was extracted."_s,
          u"in.zip=a.txt out1/a.txt out1/big.bin out1/deep/b.txt"_s);
}

void RunnerTest::runs() {
    QFETCH(QString, script);
    QFETCH(Keys, keys);
    QFETCH(QString, setUp);
    QFETCH(int, result);
    QFETCH(QString, log);
    QFETCH(QString, files);
    RunnerFixture fx;
    const bool zip = script.endsWith(u".zsc");
    if (setUp == u"long" && ::pathconf(qPrintable(fx.root.path()), _PC_NAME_MAX) != 255)
        QSKIP("the test folder's file system does not take names of 255 bytes");
    fx.writeFile("src/a.txt", "alpha");
    const QString in = fx.path("in.zip");
    if (setUp == u"replaced")
        fx.writeFile("src/big.bin", mixedData(24 << 20, 1, true));
    if (!zip) {
        fx.writeFile("src/deep/b.txt", "bravo");
        QVERIFY(infoZip(fx.path("src"), {u"-r"_s, in, u"."_s}));
    }
    keys.removeIf([](const auto& key) { return key.value().isEmpty(); });
    fx.writeScript(script, keys);
    QByteArray bytes = readFile(fx.scriptPath(script));
    QVERIFY(writeFile(fx.scriptPath(script),
                      bytes.replace("{NUL}", QByteArray(1, '\0')).replace("{SI}", "\x0f")));
    std::optional<FileLock> held;
    if (setUp == u"old-log" || setUp == u"afresh")
        fx.writeFile("log/errors.txt", "old line\r\n");
    fx.settings.newErrorFile = setUp == u"afresh";
    if (setUp == u"tmp-link")
        QVERIFY(QFile::link(fx.path("out2"), fx.context.tempFolder));
    if (setUp == u"ro-source")
        QVERIFY(QFile::setPermissions(fx.path("src/a.txt"), QFileDevice::ReadOwner));
    if (setUp == u"ro-script")
        QVERIFY(QFile::setPermissions(fx.scriptPath(script), QFileDevice::ReadOwner));
    if (setUp == u"lock")
        QVERIFY(held.emplace(fx.settings.scriptFilePath, FileLock::Kind::Folder, 0).isLocked());
    if (setUp == u"alias")
        QVERIFY(QDir().mkpath(fx.context.tempFolder) &&
                QFile::link(fx.context.tempFolder, fx.path("alias")));
    if (setUp == u"blocked") {
        fx.writeFile("out1/Backup.zip/inside", "a folder where the archive should go");
        fx.writeFile("out2/Backup.zip", "old archive bytes");
        QVERIFY(QFile::setPermissions(fx.path("out2/Backup.zip"), QFileDevice::ReadOwner |
                                                                      QFileDevice::WriteOwner |
                                                                      QFileDevice::ReadGroup));
    }
    if (setUp == u"leftover") {
        fx.writeFile("stale/old.txt", "left by an aborted run");
        QVERIFY(QDir().mkpath(fx.context.tempFolder) &&
                infoZip(fx.path("stale"), {fx.path("tmp/Backup.zip"), u"old.txt"_s}));
    }
    if (setUp == u"unfinished") // a killed run's archive and copy, not yet named
        for (const QString& left : {u"tmp/%1A09azZ"_s, u"out1/%1k1ll3d"_s})
            fx.writeFile(qPrintable(left.arg(TemporarySiblingPrefix(u"Backup.zip"_s))), "half");
    if (setUp == u"logs")
        for (const char* name : {"src/a.log", "src/b.log", "src/keep.txt", "src/sub/c.log"})
            fx.writeFile(name, name);
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
    std::thread replacer;
    const int watch = inotify_init1(IN_CLOEXEC);
    if (setUp == u"replaced") { // once the first file lands in out1
        QVERIFY(infoZip(fx.path("src"), {fx.path("other.zip"), u"a.txt"_s}));
        QVERIFY(watch >= 0 &&
                inotify_add_watch(watch, QFile::encodeName(fx.path("out1")).constData(),
                                  IN_CREATE | IN_MOVED_TO) >= 0);
        replacer = std::thread([&] {
            char events[4096];
            if (::read(watch, events, sizeof events) > 0)
                ::rename(QFile::encodeName(fx.path("other.zip")).constData(),
                         QFile::encodeName(in).constData());
        });
    }
    QString linked;
    if (setUp == u"versions") {
        for (const char* name :
             {"out1/Backup-20040315-140709.zip.bak", "out1/Backup-2004031-140709.zip",
              "out1/Other-20040101-000000.zip", "out1/backup-20040101-000000.zip"})
            fx.writeFile(name, "keep");
        const auto clock = fx.context.clock;
        for (int second = 5; second < 9; ++second) {
            fx.context.clock = [second] {
                return QDateTime(QDate(2004, 3, 15), QTime(14, 7, second));
            };
            QCOMPARE(RunZipScript(script, fx.context), 0);
        }
        fx.context.clock = clock;
        fx.context.email = [&linked](const ZipScript& s, const QString&) {
            linked = s.options.zipFile;
        };
    }
    if (setUp == u"older" || setUp == u"newer") {
        fx.writeFile("out1/a.txt", "on disk");
        QVERIFY(setModified(fx.path("out1/a.txt"), setUp == u"newer" ? 4000000000 : 600000000));
    }

    const int got = zip ? RunZipScript(script, fx.context) : RunUnzipScript(script, fx.context);
    if (replacer.joinable())
        replacer.join();
    ::close(watch);
    QCOMPARE(got, result);
    QCOMPARE(linked, setUp == u"versions" ? u"Backup-20040315-140709"_s : QString());
    QCOMPARE(fx.logLines().join(u'|'), log);
    QCOMPARE(fx.files(zip ? QString() : u"src/"_s).join(u' '), files);
    QVERIFY(!log.isEmpty() || !QFile::exists(fx.logPath())); // no empty log left
    if (setUp != u"ro-script" && setUp != u"lock")
        QCOMPARE(ReadIni(u"Options"_s, u"LastRun"_s, {}, fx.scriptPath(script)), fx.kStamp);
    if (QFileInfo(fx.context.tempFolder).isDir() && setUp != u"tmp-link")
        QCOMPARE(QFileInfo(fx.context.tempFolder).permissions() & 0x0077,
                 QFileDevice::Permissions());
    if (setUp == u"blocked") // the replaced archive keeps the mode the old one had
        QCOMPARE(QFileInfo(fx.path("out2/Backup.zip")).permissions() & 0x7077,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    if (zip && result == 0 && keys.contains(u"Password"_s))
        QVERIFY(sevenZipTestPasses(fx.path("out1/Backup.zip"), u"s3cret pw"_s) &&
                !sevenZipTestPasses(fx.path("out1/Backup.zip"), u"wrong"_s));
    if (!zip && result == 0 &&
        !setUp.isEmpty()) // what came out is the archive's, what stayed the disk's
        QCOMPARE(readFile(fx.path("out1/a.txt")), setUp == u"older" || setUp == u"newer"
                                                      ? QByteArray("on disk")
                                                      : QByteArray("alpha"));
}

// Two runs whose scripts name the same archive, at the same time: each
// destination gets an archive of its own script's files only.
void RunnerTest::sameArchiveNameInParallel() {
    RunnerFixture one, two;
    two.context.tempFolder = one.context.tempFolder;
    for (RunnerFixture* fx : {&one, &two}) {
        for (int i = 0; i < 100; ++i)
            fx->writeFile(qPrintable(u"src/f%1.txt"_s.arg(i)),
                          QByteArray(20000, char('a' + i % 26)));
        fx->writeScript(u"job.zsc"_s, {{u"File1"_s, u"@/src/*.txt"_s},
                                       {u"Dir1"_s, u"@/out1"_s},
                                       {u"ZipFile"_s, u"Shared"_s}});
    }
    two.writeFile("src/only-two.txt", "mine");
    quint16 resultTwo = 99;
    std::unique_ptr<QThread> other(
        QThread::create([&] { resultTwo = RunZipScript(u"job.zsc"_s, two.context); }));
    other->start();
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, one.context)), 0);
    other->wait();
    QCOMPARE(int(resultTwo), 0);
    QCOMPARE(archiveMembers(one.path("out1/Shared.zip")).size(), 100);
    QCOMPARE(archiveMembers(two.path("out1/Shared.zip")).size(), 101);
    QVERIFY(unzipTestPasses(one.path("out1/Shared.zip")));
    QVERIFY(unzipTestPasses(two.path("out1/Shared.zip")));
}

// A script without a date takes every file; a code without a text of its own
// gets the general one, one past the table none.
void RunnerTest::smallRules() {
    QCOMPARE(EarliestDate(QDate()), QDate(1980, 1, 1));
    QCOMPARE(EarliestDate(QDate(2150, 1, 5)), QDate(2150, 1, 5));
    QCOMPARE(ResultText(20, u"creating zip file"_s),
             u"An error occured while creating zip file the specified files."_s);
    QCOMPARE(ResultText(150, u"creating zip file"_s), QString());
    for (const QStringList& args : {QStringList{}, QStringList{u" /P "_s}}) // the window
        QCOMPARE(ParseCommandLine(args).mode, CommandMode::Interactive);
}

void RunnerTest::stops_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("mode"); // the zip script's CompressionMode
    // Thirds of the work done when another thread sets the stop flag; 0 never.
    QTest::addColumn<int>("stopAt");
    for (const int stopAt : {1, 0}) {
        QTest::addRow("zip, deflated, stop at %d/3", stopAt) << "s.zsc"
                                                             << "Best" << stopAt;
        QTest::addRow("zip, stored, stop at %d/3", stopAt) << "s.zsc"
                                                           << "None" << stopAt;
        QTest::addRow("unzip, stop at %d/3", stopAt) << "s.usc"
                                                     << "" << stopAt;
    }
    // Built, but not yet copied: the archive is discarded all the same.
    QTest::newRow("zip, stop at 3/3") << "s.zsc"
                                      << "Fast" << 3;
}

void RunnerTest::stops() {
    QFETCH(QString, script);
    QFETCH(QString, mode);
    QFETCH(int, stopAt);
    const bool stop = stopAt > 0;
    RunnerFixture fx;
    constexpr int kFiles = 12; // of 2 MiB random bytes
    constexpr qint64 kTotal = qint64(kFiles) << 21;
    for (int i = 0; i < kFiles; ++i)
        fx.writeFile(qPrintable(u"src/f%1.bin"_s.arg(i)), mixedData(2 << 20, i, true));
    QVERIFY(infoZip(fx.path("src"), {u"-0r"_s, fx.path("in.zip"), u"."_s}));
    const bool zip = script.endsWith(u".zsc"_s);
    fx.writeScript(script, {{u"File1"_s, zip ? u"X,"_s + fx.path("src/*.*") : u"*.*"_s},
                            {u"Dir1"_s, fx.path("out1")},
                            {u"ZipFile"_s, zip ? u"big"_s : fx.path("in")},
                            {u"CompressionMode"_s, mode},
                            {u"Delete"_s, u"Yes"_s}});
    // The engine waits in its report until the other thread has set the flag.
    std::promise<void> reported, stopped;
    std::thread stopper([&] {
        if (stop)
            reported.get_future().wait_for(std::chrono::minutes(1));
        fx.context.stop = stop;
        stopped.set_value();
    });
    QList<std::pair<qint64, qint64>> seen;
    fx.context.progress = [&](qint64 done, qint64 total, const QString&) {
        const qint64 at = kTotal * stopAt / 3;
        if (stop && done >= at && (seen.isEmpty() || seen.last().first < at)) {
            reported.set_value();
            stopped.get_future().wait();
        }
        seen.append({done, total});
    };
    const quint16 result =
        zip ? RunZipScript(script, fx.context) : RunUnzipScript(script, fx.context);
    stopper.join();
    QVERIFY(!seen.isEmpty());
    for (qsizetype i = 0; i < seen.size(); ++i)
        QVERIFY(seen[i].second == kTotal && (i == 0 || seen[i].first >= seen[i - 1].first));
    QCOMPARE(result, stop ? kRunAborted : kRunFinished);
    QVERIFY(stopAt == 1 ? seen.last().first < kTotal * 2 / 3 : seen.last().first == kTotal);
    if (!stop)
        return;
    QCOMPARE(fx.logLines(), QStringList{script + u"  Aborted : Stopped by the user."_s});
    QCOMPARE(ReadIni(u"Options"_s, u"Error"_s, {}, fx.scriptPath(script)), u"X"_s);
    const auto listing = [&](const char* d) {
        return QDir(fx.path(d)).entryList(QDir::Files | QDir::Hidden);
    };
    QVERIFY(listing("src").size() == kFiles && QFile::exists(fx.path("in.zip")));
    if (zip) {
        QCOMPARE(listing("tmp") + listing("out1"), QStringList{LockFileName(u"big.zip"_s)});
        return;
    }
    // Only whole files, each the member of its name.
    const QStringList present = listing("out1");
    QVERIFY(!present.isEmpty() && present.size() < kFiles);
    for (const QString& name : present)
        QVERIFY2(readFile(fx.path("out1") + u'/' + name) ==
                     runTool(u"unzip"_s, {u"-p"_s, fx.path("in.zip"), name}).raw,
                 qPrintable(name));
}

QTEST_GUILESS_MAIN(RunnerTest)
#include "tst_runners.moc"
