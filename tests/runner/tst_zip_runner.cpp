#include "ArchiveTools.h"
#include "RunnerFixture.h"
#include "runner/ResultText.h"
#include "runner/ZipRunner.h"
#include "storage/FileLock.h"
#include "storage/Scramble.h"
#include "storage/ZipScript.h"

#include <QFileInfo>
#include <QTest>
#include <QThread>
#include <fcntl.h>
#include <unistd.h>

using namespace tarvik;
using namespace Qt::StringLiterals;

using Keys = QMap<QString, QString>;

class ZipRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void logLines_data();
    void logLines();
    void failuresOfTheSetUp_data();
    void failuresOfTheSetUp();
    void controlCharactersShowEscaped_data();
    void controlCharactersShowEscaped();
    void unrecordedRunIsLogged_data();
    void unrecordedRunIsLogged();
    void buildsCopiesAndCleansUp();
    void noCopyKeepsArchiveAndSources();
    void copyIntoTheTemporaryFolderStays_data();
    void copyIntoTheTemporaryFolderStays();
    void failedCopyLeavesExistingArchive();
    void passwordIsNeverInherited();
    void leftoverArchiveIsReplaced();
    void logLifeCycle_data();
    void logLifeCycle();
    void sameArchiveNameInParallel();
    void longArchiveNames_data();
    void longArchiveNames();
    void earliestDate_data();
    void earliestDate();
    void resultText_data();
    void resultText();
};

// {root} and {tmp} in expected lines stand for the fixture's folders.
void ZipRunnerTest::logLines_data() {
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("lines");

    const Keys full{{u"File1"_s, u"{root}/src/*.txt"_s},
                    {u"Dir1"_s, u"{root}/out1"_s},
                    {u"ZipFile"_s, u"Backup"_s}};
    auto with = [&](Keys k, const QString& key, const QString& value) {
        if (value.isEmpty())
            k.remove(key);
        else
            k[key] = value;
        return k;
    };
    QTest::newRow("only File2")
        << with(with(full, u"File1"_s, {}), u"File2"_s, u"{root}/src/a.txt"_s) << 2
        << QStringList{u"  Aborted : No file specs in script file to process."_s};
    QTest::newRow("no directories")
        << with(full, u"Dir1"_s, {}) << 2
        << QStringList{u"  Aborted : No directories in script file to process."_s};
    QTest::newRow("no zip file") << with(full, u"ZipFile"_s, {}) << 2
                                 << QStringList{
                                        u"  Aborted : No zip file in script file to process."_s};
    QTest::newRow("zip file with a folder")
        << with(full, u"ZipFile"_s, u"../escape"_s) << 2
        << QStringList{
               u"  Aborted : Unable to set zip file to {tmp}/../escape.zip. Error 22 : Invalid argument"_s};
    QTest::newRow("nothing matches")
        << with(full, u"File1"_s, u"{root}/src/*.none"_s) << 2
        << QStringList{u"  Aborted due to error 50 : The Zip file is empty."_s};
    QTest::newRow("one directory missing")
        << with(with(full, u"Dir1"_s, u"{root}/missing"_s), u"Dir2"_s, u"{root}/out2"_s) << 0
        << QStringList{
               u"  Unable to copy zip file to {root}/missing. Error 2 : No such file or directory"_s};
    QTest::newRow("marked spec matches nothing")
        << with(full, u"File2"_s, u"X,{root}/src/*.gone"_s) << 0
        << QStringList{
               u"  Unable to delete file {root}/src/*.gone. Error 2 : No such file or directory"_s};
    QTest::newRow("finished with nothing to say") << full << 0 << QStringList{};
}

void ZipRunnerTest::logLines() {
    QFETCH(Keys, keys);
    QFETCH(int, result);
    QFETCH(QStringList, lines);
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "alpha");
    for (auto it = keys.begin(); it != keys.end(); ++it)
        it.value().replace(u"{root}"_s, fx.root.path());
    fx.writeScript(u"job.zsc"_s, keys);
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, fx.context)), result);
    QStringList expected;
    for (QString l : lines)
        expected.append(fx.line(
            u"job.zsc"_s,
            l.replace(u"{root}"_s, fx.root.path()).replace(u"{tmp}"_s, fx.context.tempFolder)));
    QCOMPARE(fx.logLines(), expected);
    // Every run of an existing script records when it ran.
    QCOMPARE(ReadIni(u"Options"_s, u"LastRun"_s, {}, fx.scriptPath(u"job.zsc"_s)), fx.kStamp);
    QVERIFY(!QFile::exists(fx.path("escape.zip")));
}

// Failures that need more than script keys to provoke.
void ZipRunnerTest::failuresOfTheSetUp_data() {
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("line");
    QTest::newRow("temporary folder is a link") << "tmp-link" << 2
                                                << "  Aborted : Unable to create directory {tmp}. "
                                                   "Error 40 : Too many levels of symbolic links";
    QTest::newRow("NUL in a file spec")
        << "nul-spec" << 2
        << "  Aborted : Unable to process file specs. Error 22 : Invalid argument";
    // Stored code 15 unscrambles at position 3 to NUL.
    QTest::newRow("NUL in the password")
        << "nul-password" << 2
        << "  Aborted : Unable to set zip file password. Error 22 : Invalid argument";
    QTest::newRow("read-only marked source")
        << "read-only-source" << 0
        << "  Unable to delete file {root}/src/a.txt. Error 13 : Permission denied";
}

void ZipRunnerTest::failuresOfTheSetUp() {
    QFETCH(QString, setUp);
    QFETCH(int, result);
    QFETCH(QString, line);
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "alpha");
    QByteArray script =
        "[Options]\r\nDir1=" + fx.path("out1").toUtf8() + "\r\nZipFile=Backup\r\nFile1=";
    script += setUp == u"read-only-source"_s ? "X," : "";
    script += fx.path("src/a.txt").toUtf8();
    script += setUp == u"nul-spec"_s ? QByteArray("\0", 1) : QByteArray();
    if (setUp == u"nul-password"_s)
        script += "\r\nPassword=ab\x0f";
    fx.writeFile("scripts/job.zsc", script + "\r\n");
    if (setUp == u"tmp-link"_s)
        QVERIFY(QFile::link(fx.path("out2"), fx.context.tempFolder));
    if (setUp == u"read-only-source"_s)
        QVERIFY(QFile::setPermissions(fx.path("src/a.txt"), QFileDevice::ReadOwner));
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, fx.context)), result);
    QCOMPARE(fx.logLines(),
             QStringList{fx.line(u"job.zsc"_s, line.replace(u"{tmp}"_s, fx.context.tempFolder)
                                                   .replace(u"{root}"_s, fx.root.path()))});
    QVERIFY(QFile::exists(fx.path("src/a.txt")));
    QCOMPARE(QDir(fx.path("out2")).entryList(QDir::Files), QStringList{});
}

// Names from a script folder or a script cannot forge log lines or reach a
// terminal that shows the log.
void ZipRunnerTest::controlCharactersShowEscaped_data() {
    QTest::addColumn<QString>("name"); // of the script file
    QTest::addColumn<QString>("dir");  // Dir1, below a folder that is not there
    QTest::addColumn<QString>("shownName");
    QTest::addColumn<QString>("shownDir");
    QTest::newRow("CR LF in the name") << u"a\r\n2004-03-15 14:07:09  forged.zsc"_s << u"d"_s
                                       << u"a\\r\\n2004-03-15 14:07:09  forged.zsc"_s << u"d"_s;
    QTest::newRow("terminal escapes") << u"\x1b[2J.zsc"_s << u"\x1b]0;title\x07"_s
                                      << u"\\x1b[2J.zsc"_s << u"\\x1b]0;title\\x07"_s;
    QTest::newRow("tab, DEL and other C0")
        << u"a\tb.zsc"_s << u"\x01\x1f\x7f"_s << u"a\\tb.zsc"_s << u"\\x01\\x1f\\x7f"_s;
    QTest::newRow("backslashes and non-ASCII stay")
        << u"a\\x1b \u00e9.zsc"_s << u"\\n"_s << u"a\\x1b \u00e9.zsc"_s << u"\\n"_s;
}

void ZipRunnerTest::controlCharactersShowEscaped() {
    QFETCH(QString, name);
    QFETCH(QString, dir);
    QFETCH(QString, shownName);
    QFETCH(QString, shownDir);
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "alpha");
    fx.writeScript(name, {{u"File1"_s, fx.path("src/a.txt")},
                          {u"Dir1"_s, fx.path("missing/") + dir},
                          {u"Dir2"_s, fx.path("out1")},
                          {u"ZipFile"_s, u"Backup"_s}});
    QCOMPARE(int(RunZipScript(name, fx.context)), 0);
    QCOMPARE(
        fx.logLines(),
        QStringList{fx.line(shownName, u"  Unable to copy zip file to "_s + fx.path("missing/") +
                                           shownDir + u". Error 2 : No such file or directory"_s)});
}

// A run whose LastRun stamp or Error marker cannot be written into the script
// says so in the log: the script list would otherwise show a stale state.
void ZipRunnerTest::unrecordedRunIsLogged_data() {
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<bool>("aborts");
    QTest::addColumn<QString>("error");
    const QString readOnly = u"Error 13 : Permission denied"_s;
    const QString busy = u"Error 11 : Resource temporarily unavailable"_s;
    QTest::newRow("read-only script, finished run") << "read-only" << false << readOnly;
    QTest::newRow("read-only script, aborted run") << "read-only" << true << readOnly;
    QTest::newRow("writers' lock held elsewhere, aborted run") << "lock" << true << busy;
}

void ZipRunnerTest::unrecordedRunIsLogged() {
    QFETCH(QString, obstacle);
    QFETCH(bool, aborts);
    QFETCH(QString, error);
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "alpha");
    Keys keys{{u"File1"_s, fx.path("src/a.txt")}, {u"ZipFile"_s, u"Backup"_s}};
    if (!aborts)
        keys.insert(u"Dir1"_s, fx.path("out1"));
    fx.writeScript(u"job.zsc"_s, keys);
    const auto scriptBytes = [&] {
        QFile f(fx.scriptPath(u"job.zsc"_s));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray script = scriptBytes();
    if (obstacle == u"read-only"_s)
        QVERIFY(QFile::setPermissions(fx.scriptPath(u"job.zsc"_s), QFileDevice::ReadOwner));
    std::optional<FileLock> held;
    if (obstacle == u"lock"_s)
        QVERIFY(held.emplace(fx.settings.scriptFilePath, FileLock::Kind::Folder, 0).isLocked());
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, fx.context)), aborts ? 2 : 0);
    QStringList expected{
        fx.line(u"job.zsc"_s, u"  Unable to write LastRun to script file. "_s + error)};
    if (aborts)
        expected << fx.line(u"job.zsc"_s,
                            u"  Aborted : No directories in script file to process."_s)
                 << fx.line(u"job.zsc"_s, u"  Unable to write Error to script file. "_s + error);
    QCOMPARE(fx.logLines(), expected);
    QCOMPARE(scriptBytes(), script);
}

void ZipRunnerTest::buildsCopiesAndCleansUp() {
    RunnerFixture fx;
    fx.writeFile("src/a.log", "log a");
    fx.writeFile("src/b.log", "log b");
    fx.writeFile("src/keep.txt", "text");
    fx.writeFile("src/sub/c.log", "log c in a subfolder");
    // Names that are not UTF-8 (Latin-1 "café.log", "cafè.log") are zipped and deleted too.
    const QByteArray src = QFile::encodeName(fx.path("src/"));
    for (const char* latin1 : {"caf\xe9.log", "caf\xe8.log"}) {
        QFile file;
        QVERIFY(file.open(::creat(src + latin1, 0644), QIODevice::WriteOnly,
                          QFileDevice::AutoCloseHandle));
    }
    fx.writeScript(u"daily.zsc"_s, {{u"File1"_s, u"x,"_s + fx.path("src/*.log")},
                                    {u"File2"_s, fx.path("src/keep.txt")},
                                    {u"Dir1"_s, fx.path("out1")},
                                    {u"Dir2"_s, fx.path("out2")},
                                    {u"ZipFile"_s, u"Backup"_s},
                                    {u"StoreSubDirs"_s, u"Yes"_s},
                                    {u"CompressionMode"_s, u"Fast"_s}});
    QCOMPARE(int(RunZipScript(u"daily.zsc"_s, fx.context)), 0);
    const QStringList members{u"a.log"_s,         u"b.log"_s,         u"c.log"_s,
                              u"caf\ufffd.log"_s, u"caf\ufffd.log"_s, u"keep.txt"_s};
    for (const char* out : {"out1/Backup.zip", "out2/Backup.zip"}) {
        QCOMPARE(archiveMembers(fx.path(out)), members);
        QVERIFY(unzipTestPasses(fx.path(out)));
    }
    QVERIFY(!QFile::exists(fx.context.tempFolder + u"/Backup.zip"_s));
    // Marked files of the spec's own folder go; the subfolder's and unmarked stay.
    QCOMPARE(QDir(fx.path("src")).entryList(QDir::Files), QStringList{u"keep.txt"_s});
    for (const char* latin1 : {"caf\xe9.log", "caf\xe8.log"})
        QVERIFY(::access(src + latin1, F_OK) != 0); // QDir does not list such names
    QVERIFY(QFile::exists(fx.path("src/sub/c.log")));
    QVERIFY(!QFile::exists(fx.logPath())); // a finished run leaves no empty log
    QCOMPARE(QFileInfo(fx.context.tempFolder).permissions() & 0x0077, QFileDevice::Permissions());
}

void ZipRunnerTest::noCopyKeepsArchiveAndSources() {
    RunnerFixture fx;
    fx.writeFile("src/a.log", "precious");
    fx.writeScript(u"job.zsc"_s, {{u"File1"_s, u"X,"_s + fx.path("src/a.log")},
                                  {u"Dir1"_s, fx.path("gone1")},
                                  {u"Dir2"_s, fx.path("gone2")},
                                  {u"ZipFile"_s, u"Backup"_s}});
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, fx.context)), 2);
    const QString temp = fx.context.tempFolder + u"/Backup.zip"_s;
    QCOMPARE(fx.logLines(),
             (QStringList{
                 fx.line(u"job.zsc"_s, u"  Unable to copy zip file to "_s + fx.path("gone1") +
                                           u". Error 2 : No such file or directory"_s),
                 fx.line(u"job.zsc"_s, u"  Unable to copy zip file to "_s + fx.path("gone2") +
                                           u". Error 2 : No such file or directory"_s),
                 fx.line(u"job.zsc"_s, u"  Aborted : No copy of the zip file was made. Kept "_s +
                                           temp + u" and the files marked for deletion."_s)}));
    QVERIFY(QFile::exists(fx.path("src/a.log")));
    QVERIFY(unzipTestPasses(temp));
}

void ZipRunnerTest::copyIntoTheTemporaryFolderStays_data() {
    QTest::addColumn<bool>("throughLink");
    QTest::addColumn<bool>("last");
    QTest::newRow("named as it is, only directory") << false << true;
    QTest::newRow("through a link, first of two") << true << false;
}

// A script may name the temporary folder as a directory: that copy is the
// temporary archive, and the clean-up must not take it away.
void ZipRunnerTest::copyIntoTheTemporaryFolderStays() {
    QFETCH(bool, throughLink);
    QFETCH(bool, last);
    RunnerFixture fx;
    fx.writeFile("src/a.log", "only copy");
    QVERIFY(QDir().mkpath(fx.context.tempFolder));
    QString dir = fx.context.tempFolder;
    if (throughLink) {
        dir = fx.path("alias");
        QVERIFY(QFile::link(fx.context.tempFolder, dir));
    }
    QMap<QString, QString> keys{{u"File1"_s, u"X,"_s + fx.path("src/a.log")},
                                {u"Dir1"_s, dir},
                                {u"ZipFile"_s, u"Backup"_s}};
    if (!last)
        keys.insert(u"Dir2"_s, fx.path("out1"));
    fx.writeScript(u"job.zsc"_s, keys);
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, fx.context)), 0);
    QCOMPARE(archiveMembers(fx.context.tempFolder + u"/Backup.zip"_s), QStringList{u"a.log"_s});
    QVERIFY(unzipTestPasses(fx.context.tempFolder + u"/Backup.zip"_s));
    QVERIFY(!QFile::exists(fx.path("src/a.log")));
    QCOMPARE(fx.logLines(), QStringList{});
}

void ZipRunnerTest::failedCopyLeavesExistingArchive() {
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "new content");
    fx.writeFile("out1/Backup.zip/inside", "a folder where the archive should go");
    fx.writeFile("out2/Backup.zip", "old archive bytes");
    QFile::setPermissions(fx.path("out2/Backup.zip"), QFileDevice::ReadOwner |
                                                          QFileDevice::WriteOwner |
                                                          QFileDevice::ReadGroup);
    fx.writeScript(u"job.zsc"_s, {{u"File1"_s, fx.path("src/a.txt")},
                                  {u"Dir1"_s, fx.path("out1")},
                                  {u"Dir2"_s, fx.path("out2")},
                                  {u"ZipFile"_s, u"Backup"_s}});
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, fx.context)), 0);
    QCOMPARE(fx.logLines(), QStringList{fx.line(
                                u"job.zsc"_s, u"  Unable to copy zip file to "_s + fx.path("out1") +
                                                  u". Error 21 : Is a directory"_s)});
    QVERIFY(QFile::exists(fx.path("out1/Backup.zip/inside")));
    QCOMPARE(archiveMembers(fx.path("out2/Backup.zip")), QStringList{u"a.txt"_s});
    // The replaced archive keeps the mode the old one had.
    QCOMPARE(QFileInfo(fx.path("out2/Backup.zip")).permissions() & 0x7077,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    QCOMPARE(QDir(fx.path("out1")).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

void ZipRunnerTest::passwordIsNeverInherited() {
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "secret text");
    const Keys base{{u"File1"_s, fx.path("src/a.txt")}, {u"Dir1"_s, fx.path("out1")}};
    Keys locked = base;
    locked[u"ZipFile"_s] = u"Locked"_s;
    locked[u"Password"_s] = Scramble(u"s3cret pw"_s).value();
    Keys open = base;
    open[u"ZipFile"_s] = u"Open"_s;
    fx.writeScript(u"locked.zsc"_s, locked);
    fx.writeScript(u"open.zsc"_s, open);
    QCOMPARE(int(RunZipScript(u"locked.zsc"_s, fx.context)), 0);
    QCOMPARE(int(RunZipScript(u"open.zsc"_s, fx.context)), 0);
    QVERIFY(sevenZipTestPasses(fx.path("out1/Locked.zip"), u"s3cret pw"_s));
    QVERIFY(!sevenZipTestPasses(fx.path("out1/Locked.zip"), u"wrong"_s));
    QVERIFY(unzipTestPasses(fx.path("out1/Open.zip")));
    const ToolResult listing = runTool(u"7z"_s, {u"l"_s, u"-slt"_s, fx.path("out1/Open.zip")});
    QVERIFY(listing.output.contains(u"Encrypted = -"_s));
}

void ZipRunnerTest::leftoverArchiveIsReplaced() {
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "fresh");
    fx.writeFile("stale/old.txt", "left by an aborted run");
    QDir().mkpath(fx.context.tempFolder);
    QVERIFY(runTool(u"zip"_s,
                    {u"-jq"_s, fx.context.tempFolder + u"/Backup.zip"_s, fx.path("stale/old.txt")})
                .exitCode == 0);
    fx.writeScript(u"job.zsc"_s, {{u"File1"_s, fx.path("src/a.txt")},
                                  {u"Dir1"_s, fx.path("out1")},
                                  {u"ZipFile"_s, u"Backup"_s}});
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, fx.context)), 0);
    QCOMPARE(archiveMembers(fx.path("out1/Backup.zip")), QStringList{u"a.txt"_s});
}

void ZipRunnerTest::logLifeCycle_data() {
    QTest::addColumn<bool>("newErrorFile");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("scripts"); // run in order
    QTest::addColumn<int>("linesAfter");      // -1: no log file at all
    QTest::newRow("append keeps both lines")
        << false << QByteArray() << QStringList{u"bad"_s, u"bad"_s} << 2;
    QTest::newRow("afresh keeps the last run's")
        << true << QByteArray() << QStringList{u"bad"_s, u"bad"_s} << 1;
    QTest::newRow("finished run keeps an old log")
        << false << QByteArray("old line\r\n") << QStringList{u"good"_s} << 1;
    QTest::newRow("finished run creates no empty log")
        << false << QByteArray() << QStringList{u"good"_s} << -1;
    QTest::newRow("afresh: abort then finish leaves nothing")
        << true << QByteArray() << QStringList{u"bad"_s, u"good"_s} << -1;
}

void ZipRunnerTest::logLifeCycle() {
    QFETCH(bool, newErrorFile);
    QFETCH(QByteArray, before);
    QFETCH(QStringList, scripts);
    QFETCH(int, linesAfter);
    RunnerFixture fx;
    fx.settings.newErrorFile = newErrorFile;
    fx.writeFile("src/a.txt", "a");
    if (!before.isEmpty())
        fx.writeFile("log/errors.txt", before);
    fx.writeScript(u"good.zsc"_s, {{u"File1"_s, fx.path("src/a.txt")},
                                   {u"Dir1"_s, fx.path("out1")},
                                   {u"ZipFile"_s, u"Good"_s}});
    fx.writeScript(u"bad.zsc"_s, {{u"File1"_s, fx.path("src/a.txt")}});
    for (const QString& s : scripts)
        RunZipScript(s + u".zsc"_s, fx.context);
    if (linesAfter < 0)
        QVERIFY(!QFile::exists(fx.logPath()));
    else
        QCOMPARE(fx.logLines().size(), linesAfter);
}

void ZipRunnerTest::sameArchiveNameInParallel() {
    // Two runs whose scripts name the same archive, at the same time: each
    // destination gets an archive of its own script's files only.
    RunnerFixture one, two;
    two.context.tempFolder = one.context.tempFolder;
    for (RunnerFixture* fx : {&one, &two}) {
        for (int i = 0; i < 200; ++i)
            fx->writeFile(qPrintable(u"src/f%1.txt"_s.arg(i)),
                          QByteArray(20000, char('a' + i % 26)));
        fx->writeScript(u"job.zsc"_s, {{u"File1"_s, fx->path("src/*.txt")},
                                       {u"Dir1"_s, fx->path("out1")},
                                       {u"ZipFile"_s, u"Shared"_s}});
    }
    two.writeFile("src/only-two.txt", "mine");
    quint16 resultTwo = 99;
    QThread* other = QThread::create([&] { resultTwo = RunZipScript(u"job.zsc"_s, two.context); });
    other->start();
    const quint16 resultOne = RunZipScript(u"job.zsc"_s, one.context);
    other->wait();
    delete other;
    QCOMPARE(int(resultOne), 0);
    QCOMPARE(int(resultTwo), 0);
    QCOMPARE(archiveMembers(one.path("out1/Shared.zip")).size(), 200);
    QCOMPARE(archiveMembers(two.path("out1/Shared.zip")).size(), 201);
    QVERIFY(unzipTestPasses(one.path("out1/Shared.zip")));
    QVERIFY(unzipTestPasses(two.path("out1/Shared.zip")));
}

// Up to the file system's 255 bytes an archive name works, whatever the names
// of the lock and temporary files; past it the run says so.
void ZipRunnerTest::longArchiveNames_data() {
    QTest::addColumn<int>("length"); // of ZipFile, without ".zip"
    for (int length : {200, 240, 243, 246, 250, 251, 252, 255, 256, 300, 2000})
        QTest::addRow("%d", length) << length;
}

void ZipRunnerTest::longArchiveNames() {
    QFETCH(int, length);
    RunnerFixture fx;
    if (::pathconf(qPrintable(fx.root.path()), _PC_NAME_MAX) != 255)
        QSKIP("the test folder's file system does not take names of 255 bytes");
    fx.writeFile("src/a.txt", "alpha");
    const QString name = QString(length, u'n');
    fx.writeScript(u"job.zsc"_s, {{u"File1"_s, u"X,"_s + fx.path("src/a.txt")},
                                  {u"Dir1"_s, fx.path("out1")},
                                  {u"Dir2"_s, fx.path("out2")},
                                  {u"ZipFile"_s, name}});
    const bool fits = length + 4 <= 255;
    QCOMPARE(int(RunZipScript(u"job.zsc"_s, fx.context)), fits ? 0 : 2);
    if (fits) {
        QCOMPARE(fx.logLines(), QStringList{});
        for (const char* out : {"out1", "out2"})
            QCOMPARE(archiveMembers(fx.path(out) + u'/' + name + u".zip"_s),
                     QStringList{u"a.txt"_s});
        // Nothing but the lock stays in the temporary folder.
        const QStringList left = QDir(fx.context.tempFolder).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(left.size() == 1 && left[0].endsWith(u".lock"_s), qPrintable(left.join(u' ')));
    } else {
        QCOMPARE(fx.logLines(),
                 QStringList{fx.line(u"job.zsc"_s, u"  Aborted : Unable to set zip file to "_s +
                                                       fx.context.tempFolder + u'/' + name +
                                                       u".zip. Error 36 : File name too long"_s)});
    }
    QCOMPARE(QFile::exists(fx.path("src/a.txt")), !fits);
    for (const char* out : {"out1", "out2"})
        QCOMPARE(QDir(fx.path(out)).entryList(QDir::Files | QDir::Hidden).size(), int(fits));
}

void ZipRunnerTest::earliestDate_data() {
    QTest::addColumn<QString>("modifiedDate");
    QTest::addColumn<QDate>("earliest");
    QTest::newRow("1999") << "12/31/1999" << QDate(1999, 12, 31);
    QTest::newRow("2003") << "01/05/2003" << QDate(2003, 1, 5);
    QTest::newRow("after 2099 stays in its century") << "01/05/2150" << QDate(2150, 1, 5);
    QTest::newRow("missing") << "" << QDate(1980, 1, 1);
    QTest::newRow("not a date") << "02/30/2004" << QDate(1980, 1, 1);
}

void ZipRunnerTest::earliestDate() {
    QFETCH(QString, modifiedDate);
    QFETCH(QDate, earliest);
    QCOMPARE(EarliestDate(ParseScriptDate(modifiedDate)), earliest);
}

void ZipRunnerTest::resultText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("40") << 40 << "Some files were skipped while creating zip file.";
    QTest::newRow("unlisted 20") << 20
                                 << "An error occured while creating zip file the specified files.";
    QTest::newRow("150 is empty") << 150 << "";
    QTest::newRow("negative is empty") << -5 << "";
}

void ZipRunnerTest::resultText() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(ResultText(code, u"creating zip file"_s), text);
}

QTEST_GUILESS_MAIN(ZipRunnerTest)
#include "tst_zip_runner.moc"
