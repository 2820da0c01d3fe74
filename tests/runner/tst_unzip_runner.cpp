#include "ArchiveTools.h"
#include "RunnerFixture.h"
#include "runner/UnzipRunner.h"
#include "storage/Scramble.h"

#include <QFileInfo>
#include <QTest>
#include <cstdio>
#include <fcntl.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

using namespace tarvik;
using namespace Qt::StringLiterals;

using Keys = QMap<QString, QString>;

class UnzipRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void logLines_data();
    void logLines();
    void extractsIntoEachDirectoryThenDeletes();
    void readOnlyArchiveStays();
    void archiveEndingInOtherCase_data();
    void archiveEndingInOtherCase();
    void passwords_data();
    void passwords();
    void archiveKeptUnlessSomethingCameOut_data();
    void archiveKeptUnlessSomethingCameOut();
    void archiveReplacedDuringRunStays();

private:
    // An archive of src/ made by Info-ZIP zip, with stored folders.
    static void makeArchive(RunnerFixture& fx, const QString& archive,
                            const QStringList& extraArgs = {}) {
        fx.writeFile("src/a.txt", "alpha");
        fx.writeFile("src/deep/b.txt", "bravo");
        fx.writeFile("src/deep/c.dat", "charlie");
        QFile stamped(fx.path("src/a.txt"));
        QVERIFY(stamped.open(QIODevice::ReadWrite));
        QVERIFY(stamped.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                                    QFileDevice::FileModificationTime));
        stamped.close();
        QProcess zip;
        zip.setWorkingDirectory(fx.path("src"));
        zip.start(u"zip"_s, QStringList{u"-rq"_s} + extraArgs + QStringList{archive, u"."_s});
        QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);
    }
};

void UnzipRunnerTest::logLines_data() {
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("line");
    QTest::newRow("archive is checked first")
        << Keys{{u"Description"_s, u"x"_s}} << 2
        << "  Aborted : No zip file in script file to process.";
    QTest::newRow("no members") << Keys{{u"ZipFile"_s, u"{root}/in"_s},
                                        {u"Dir1"_s, u"{root}/out1"_s}}
                                << 2 << "  Aborted : No file specs in script file to process.";
    QTest::newRow("no directories") << Keys{{u"ZipFile"_s, u"{root}/in"_s}, {u"File1"_s, u"*.*"_s}}
                                    << 2 << "  Aborted : No directories in script file to process.";
    const Keys missing{{u"ZipFile"_s, u"{root}/missing"_s},
                       {u"File1"_s, u"*.*"_s},
                       {u"Dir1"_s, u"{root}/out1"_s},
                       {u"Delete"_s, u"Yes"_s}};
    QTest::newRow("archive not found")
        << missing << 2 << "  Aborted due to error 100 : Could not find the archive file.";
    Keys garbage = missing;
    garbage[u"ZipFile"_s] = u"{root}/src/garbage"_s;
    QTest::newRow("not a zip") << garbage << 2
                               << "  Aborted due to error 110 : The archive file is corrupted. Try "
                                  "using the Fix option on it.";
}

void UnzipRunnerTest::logLines() {
    QFETCH(Keys, keys);
    QFETCH(int, result);
    QFETCH(QString, line);
    RunnerFixture fx;
    fx.writeFile("src/garbage.zip", QByteArray(4000, 'g'));
    for (auto it = keys.begin(); it != keys.end(); ++it)
        it.value().replace(u"{root}"_s, fx.root.path());
    fx.writeScript(u"job.usc"_s, keys);
    QCOMPARE(int(RunUnzipScript(u"job.usc"_s, fx.context)), result);
    QCOMPARE(fx.logLines(), QStringList{fx.line(u"job.usc"_s, line)});
    QCOMPARE(ReadIni(u"Options"_s, u"LastRun"_s, {}, fx.scriptPath(u"job.usc"_s)), fx.kStamp);
    QVERIFY(QFile::exists(fx.path("src/garbage.zip"))); // never deleted after a failure
}

void UnzipRunnerTest::extractsIntoEachDirectoryThenDeletes() {
    RunnerFixture fx;
    makeArchive(fx, fx.path("in.zip"));
    fx.writeScript(u"job.usc"_s, {{u"ZipFile"_s, fx.path("in")},
                                  {u"File1"_s, u"*.txt"_s},
                                  {u"Dir1"_s, fx.path("out1")},
                                  {u"Dir2"_s, fx.path("out2/new")},
                                  {u"Delete"_s, u"Yes"_s}});
    QCOMPARE(int(RunUnzipScript(u"job.usc"_s, fx.context)), 0);
    for (const char* out : {"out1", "out2/new"}) {
        const QString dir = fx.path(out);
        QCOMPARE(QFile(dir + u"/deep/b.txt"_s).size(), 5);
        QVERIFY(QFile::exists(dir + u"/a.txt"_s));
        QVERIFY(!QFile::exists(dir + u"/deep/c.dat"_s));
        QCOMPARE(QFileInfo(dir + u"/a.txt"_s).lastModified(),
                 QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
    }
    QVERIFY(!QFile::exists(fx.path("in.zip")));
    QVERIFY(!QFile::exists(fx.logPath()));
}

void UnzipRunnerTest::readOnlyArchiveStays() {
    RunnerFixture fx;
    makeArchive(fx, fx.path("in.zip"));
    QFile::setPermissions(fx.path("in.zip"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    fx.writeScript(u"job.usc"_s, {{u"ZipFile"_s, fx.path("in")},
                                  {u"File1"_s, u"a.txt"_s},
                                  {u"Dir1"_s, fx.path("out1")},
                                  {u"Delete"_s, u"Yes"_s}});
    QCOMPARE(int(RunUnzipScript(u"job.usc"_s, fx.context)), 0);
    QCOMPARE(
        fx.logLines(),
        QStringList{fx.line(u"job.usc"_s, u"  Unable to delete zip file "_s + fx.path("in.zip") +
                                              u". Error 13 : Permission denied"_s)});
    QVERIFY(QFile::exists(fx.path("in.zip")));
}

void UnzipRunnerTest::archiveEndingInOtherCase_data() {
    QTest::addColumn<QStringList>("archives"); // made in the root, the first holds src/
    QTest::addColumn<QString>("zipFile");      // the script's ZipFile below the root
    QTest::addColumn<QString>("deleted");
    QTest::newRow("upper-case ending") << QStringList{u"Data.ZIP"_s} << u"Data"_s << u"Data.ZIP"_s;
    QTest::newRow("exact name first")
        << QStringList{u"d.zip"_s, u"d.ZIP"_s} << u"d"_s << u"d.zip"_s;
}

void UnzipRunnerTest::archiveEndingInOtherCase() {
    QFETCH(QStringList, archives);
    QFETCH(QString, zipFile);
    QFETCH(QString, deleted);
    RunnerFixture fx;
    makeArchive(fx, fx.root.filePath(archives.first()));
    for (const QString& other : archives.mid(1))
        QVERIFY(QFile::copy(fx.root.filePath(archives.first()), fx.root.filePath(other)));
    fx.writeScript(u"job.usc"_s, {{u"ZipFile"_s, fx.root.filePath(zipFile)},
                                  {u"File1"_s, u"a.txt"_s},
                                  {u"Dir1"_s, fx.path("out1")},
                                  {u"Delete"_s, u"Yes"_s}});
    QCOMPARE(int(RunUnzipScript(u"job.usc"_s, fx.context)), 0);
    QVERIFY(QFile::exists(fx.path("out1/a.txt")));
    for (const QString& archive : archives)
        QCOMPARE(QFile::exists(fx.root.filePath(archive)), archive != deleted);
}

void UnzipRunnerTest::passwords_data() {
    QTest::addColumn<QString>("maker");
    QTest::addColumn<QString>("scriptPassword");
    QTest::addColumn<int>("result");
    // The engine's own tests cover each method with right, wrong and no password;
    // here the script's scrambled password must reach it, and a refusal abort the run.
    QTest::newRow("AES-256, right") << "7z"
                                    << "pa ss" << 0;
    QTest::newRow("traditional, wrong") << "zip"
                                        << "nope" << 2;
}

void UnzipRunnerTest::passwords() {
    QFETCH(QString, maker);
    QFETCH(QString, scriptPassword);
    QFETCH(int, result);
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "alpha");
    const QString archive = fx.path("in.zip");
    const ToolResult made =
        maker == u"zip"_s
            ? runTool(u"zip"_s, {u"-jq"_s, u"-P"_s, u"pa ss"_s, archive, fx.path("src/a.txt")})
            : runTool(u"7z"_s, {u"a"_s, u"-tzip"_s, u"-mem=AES256"_s, u"-ppa ss"_s, archive,
                                fx.path("src/a.txt")});
    QVERIFY2(made.exitCode == 0, qPrintable(made.output));
    Keys keys{{u"ZipFile"_s, fx.path("in")}, {u"File1"_s, u"*.*"_s}, {u"Dir1"_s, fx.path("out1")}};
    if (!scriptPassword.isEmpty())
        keys[u"Password"_s] = Scramble(scriptPassword).value();
    fx.writeScript(u"job.usc"_s, keys);
    QCOMPARE(int(RunUnzipScript(u"job.usc"_s, fx.context)), result);
    if (result == 0) {
        QFile f(fx.path("out1/a.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("alpha"));
    } else {
        QCOMPARE(
            fx.logLines(),
            QStringList{fx.line(u"job.usc"_s, u"  Aborted due to error 40 : Some files were "
                                              u"skipped while extracting files in zip file."_s)});
        QVERIFY(!QFile::exists(fx.path("out1/a.txt")));
    }
}

// The archive goes only when a member came out of it or was left out on
// purpose by a newer-only mode; otherwise it stays with one line saying why.
void UnzipRunnerTest::archiveKeptUnlessSomethingCameOut_data() {
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<bool>("existingIsNewer"); // out1/a.txt is there first, newer or older
    QTest::addColumn<bool>("deleted");
    QTest::newRow("specs match nothing") << Keys{{u"File1"_s, u"*.doc"_s}} << false << false;
    QTest::newRow("every file exists, overwrite off")
        << Keys{{u"File1"_s, u"a.txt"_s}, {u"Overwrite"_s, u"No"_s}} << false << false;
    QTest::newRow("newer-only mode leaves the newer file")
        << Keys{{u"File1"_s, u"a.txt"_s}, {u"Extract"_s, u"newer"_s}, {u"Overwrite"_s, u"Yes"_s}}
        << true << true;
}

void UnzipRunnerTest::archiveKeptUnlessSomethingCameOut() {
    QFETCH(Keys, keys);
    QFETCH(bool, existingIsNewer);
    QFETCH(bool, deleted);
    RunnerFixture fx;
    makeArchive(fx, fx.path("in.zip"));
    fx.writeFile("out1/a.txt", "on disk");
    QFile onDisk(fx.path("out1/a.txt"));
    QVERIFY(onDisk.open(QIODevice::ReadWrite));
    QVERIFY(onDisk.setFileTime(QDateTime(QDate(existingIsNewer ? 2020 : 1990, 1, 1), QTime()),
                               QFileDevice::FileModificationTime));
    onDisk.close();
    keys.insert(
        {{u"ZipFile"_s, fx.path("in")}, {u"Dir1"_s, fx.path("out1")}, {u"Delete"_s, u"Yes"_s}});
    fx.writeScript(u"job.usc"_s, keys);
    QCOMPARE(int(RunUnzipScript(u"job.usc"_s, fx.context)), 0);
    QCOMPARE(QFile::exists(fx.path("in.zip")), !deleted);
    const QStringList kept{fx.line(u"job.usc"_s, u"  Kept zip file "_s + fx.path("in.zip") +
                                                     u": no file was extracted from it."_s)};
    QCOMPARE(fx.logLines(), deleted ? QStringList{} : kept);
}

// Another file renamed over the archive while it is being extracted is not
// the file that was extracted: it stays.
void UnzipRunnerTest::archiveReplacedDuringRunStays() {
    RunnerFixture fx;
    fx.writeFile("src/a.txt", "alpha");
    QByteArray noise(24 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 2654435761u) >> 13);
    fx.writeFile("src/big.bin", noise);
    QCOMPARE(runTool(u"zip"_s,
                     {u"-0jq"_s, fx.path("in.zip"), fx.path("src/a.txt"), fx.path("src/big.bin")})
                 .exitCode,
             0);
    fx.writeFile("src/c.txt", "never extracted");
    QCOMPARE(runTool(u"zip"_s, {u"-jq"_s, fx.path("other.zip"), fx.path("src/c.txt")}).exitCode, 0);
    QFile other(fx.path("other.zip"));
    QVERIFY(other.open(QIODevice::ReadOnly));
    const QByteArray replacement = other.readAll();
    fx.writeScript(u"job.usc"_s, {{u"ZipFile"_s, fx.path("in")},
                                  {u"File1"_s, u"*.*"_s},
                                  {u"Dir1"_s, fx.path("out1")},
                                  {u"Dir2"_s, fx.path("out2")},
                                  {u"Delete"_s, u"Yes"_s}});
    // As soon as the first file lands in out1, the other archive swaps names
    // with the one being extracted. On a busy machine the run may end first;
    // then the swap finds no archive and the attempt says nothing.
    QFile made(fx.path("in.zip"));
    QVERIFY(made.open(QIODevice::ReadOnly));
    const QByteArray original = made.readAll();
    for (int attempt = 0; attempt < 5; ++attempt) {
        fx.writeFile("in.zip", original);
        QDir(fx.path("out1")).removeRecursively();
        QDir().mkpath(fx.path("out1"));
        const int watch = inotify_init1(IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(fx.path("out1")).constData(),
                                  IN_CREATE | IN_MOVED_TO) >= 0);
        bool swapped = false;
        std::thread replacer([&] {
            char events[4096];
            if (::read(watch, events, sizeof events) > 0)
                swapped = ::renameat2(AT_FDCWD, QFile::encodeName(fx.path("other.zip")).constData(),
                                      AT_FDCWD, QFile::encodeName(fx.path("in.zip")).constData(),
                                      RENAME_EXCHANGE) == 0;
        });
        const int result = RunUnzipScript(u"job.usc"_s, fx.context);
        replacer.join();
        ::close(watch);
        QCOMPARE(result, 0);
        if (!swapped)
            continue;
        QFile archive(fx.path("in.zip"));
        QVERIFY(archive.open(QIODevice::ReadOnly));
        QCOMPARE(archive.readAll(), replacement);
        QCOMPARE(fx.logLines(),
                 QStringList{fx.line(u"job.usc"_s, u"  Kept zip file "_s + fx.path("in.zip") +
                                                       u": it changed while it was extracted."_s)});
        return;
    }
    QSKIP("the runs ended before the archive could be swapped: the machine is too busy");
}

QTEST_GUILESS_MAIN(UnzipRunnerTest)
#include "tst_unzip_runner.moc"
