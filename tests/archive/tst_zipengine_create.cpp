#include "archive/ArchiveWriter.h"
#include "archive/SourceWalker.h"
#include "archive/ZipEngine.h"
#include "tst_zipengine_tools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvik;
using namespace ziptest;

namespace {

const QString kPython = QStringLiteral(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        print(i.filename, i.compress_type, i.flag_bits & 1)
)");

} // namespace

class ZipEngineCreateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void selection_data();
    void selection();
    void outcomes_data();
    void outcomes();
    void integrity_data();
    void integrity();
    void changedSources_data();
    void changedSources();
    void writeFailureLeavesNothing();
    void manyFilesFewDescriptors();
    void archivePath_data();
    void archivePath();

private:
    QTemporaryDir dir_;
    QString tree_;
};

void ZipEngineCreateTest::initTestCase() {
    QVERIFY(dir_.isValid());
    tree_ = dir_.filePath(QStringLiteral("tree"));
    for (const char* name : {"a.txt", "b.log", "README", ".hidden.txt", "old.txt", "sub/c.txt",
                             "sub/.dot/d.txt", "sub/deep/e.TXT"})
        QVERIFY(WriteFile(tree_ + u'/' + QLatin1String(name), QByteArray("data of ") + name));
    QVERIFY(SetModified(tree_ + QStringLiteral("/old.txt"), 991353600)); // 2001-06-01
    QVERIFY(QDir(tree_).mkpath(QStringLiteral("empty")));
    QVERIFY(QFile::link(tree_ + QStringLiteral("/sub"), tree_ + QStringLiteral("/linkdir")));
    QVERIFY(QFile::link(tree_ + QStringLiteral("/a.txt"), tree_ + QStringLiteral("/linkfile.txt")));
}

// '@' in patterns stands for the tree, in expected names for the tree without its root.
void ZipEngineCreateTest::selection_data() {
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<bool>("subdirs");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("paths");
    QTest::addColumn<bool>("folders");
    QTest::addColumn<QStringList>("members");
    const QDate any(1980, 1, 1);
    QTest::newRow("wildcard, one folder") << "@/*.txt\r" << false << false << any << false << false
                                          << Names({"a.txt", "linkfile.txt", "old.txt"});
    QTest::newRow("star dot star takes dotless names")
        << "@/*.*\r" << false << false << any << false << false
        << Names({"README", "a.txt", "b.log", "linkfile.txt", "old.txt"});
    QTest::newRow("question mark")
        << "@/?.txt\r" << false << false << any << false << false << Names({"a.txt"});
    QTest::newRow("subfolders, case counts, symlinked folder not walked")
        << "@/*.txt\r" << true << false << any << false << false
        << Names({"a.txt", "c.txt", "linkfile.txt", "old.txt"});
    QTest::newRow("hidden files and folders")
        << "@/*.txt\r" << true << true << any << false << false
        << Names({".hidden.txt", "a.txt", "c.txt", "d.txt", "linkfile.txt", "old.txt"});
    QTest::newRow("earliest date, eight digits")
        << "@/*.txt\r" << false << false << QDate(2010, 1, 1) << false << false
        << Names({"a.txt", "linkfile.txt"});
    QTest::newRow("paths stored") << "@/*.txt\r" << true << false << any << true << false
                                  << Names(
                                         {"@/a.txt", "@/linkfile.txt", "@/old.txt", "@/sub/c.txt"});
    QTest::newRow("folder entries keep empty folders")
        << "@/*.TXT\r" << true << false << any << true << true
        << Names({"@/", "@/empty/", "@/sub/", "@/sub/deep/", "@/sub/deep/e.TXT"});
    QTest::newRow("no folder entries without paths")
        << "@/*.TXT\r" << true << false << any << false << true << Names({"e.TXT"});
    QTest::newRow("folder named without wildcards")
        << "@/sub\r" << true << false << any << false << false << Names({"c.txt", "e.TXT"});
    QTest::newRow("file matched twice goes in once")
        << "@/a.txt\r@/*.txt\r" << false << false << any << false << false
        << Names({"a.txt", "linkfile.txt", "old.txt"});
}

void ZipEngineCreateTest::selection() {
    QFETCH(QString, patterns);
    QFETCH(bool, subdirs);
    QFETCH(bool, hidden);
    QFETCH(QDate, date);
    QFETCH(bool, paths);
    QFETCH(bool, folders);
    QFETCH(QStringList, members);
    ZipRequest request;
    request.patterns = patterns.replace(u'@', tree_).split(u'\r', Qt::SkipEmptyParts);
    request.archivePath = dir_.filePath(QStringLiteral("selection.zip"));
    request.recurse = subdirs;
    request.includeHidden = hidden;
    request.earliest = date;
    request.storePaths = paths;
    request.folderEntries = folders;
    QCOMPARE(CreateArchive(request).result, zipresult::kOk);
    members.replaceInStrings(QStringLiteral("@"), tree_.mid(1));
    members.sort();
    QCOMPARE(ZipMembers(request.archivePath), members);
}

// Layout entries: a file path, "fifo:NAME" or "dangling:NAME" (a symlink to nothing).
// An unrelated archive sits at the archive path first; "kept" rows want it unchanged.
void ZipEngineCreateTest::outcomes_data() {
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<bool>("subdirs");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("members"); // empty: the old archive must be untouched
    const QDate any(1980, 1, 1);
    const QString zip = QStringLiteral("out.zip");
    QTest::newRow("fresh build replaces the old archive")
        << Names({"a.txt"}) << "*.txt" << false << any << 6 << zip << 0 << Names({"a.txt"});
    QTest::newRow("archive never zipped into itself")
        << Names({"a.txt"}) << "*.*" << false << any << 6 << zip << 0 << Names({"a.txt"});
    QTest::newRow("repeated names") << Names({"x/a.txt", "y/a.txt"}) << "*.txt" << true << any << 6
                                    << zip << 370 << QStringList{};
    QTest::newRow("nothing matched")
        << Names({"a.log"}) << "*.txt" << false << any << 6 << zip << 50 << QStringList{};
    QTest::newRow("FIFO left out") << Names({"a.txt", "fifo:p.txt"}) << "*.txt" << false << any << 6
                                   << zip << 40 << Names({"a.txt"});
    QTest::newRow("dangling symlink left out")
        << Names({"a.txt", "dangling:d.txt"}) << "*.txt" << false << any << 6 << zip << 40
        << Names({"a.txt"});
    QTest::newRow("only unreadable matches")
        << Names({"fifo:p.txt"}) << "*.txt" << false << any << 6 << zip << 40 << QStringList{};
    QTest::newRow("invalid date") << Names({"a.txt"}) << "*.txt" << false << QDate() << 6 << zip
                                  << 130 << QStringList{};
    QTest::newRow("level out of range")
        << Names({"a.txt"}) << "*.txt" << false << any << 10 << zip << 130 << QStringList{};
    QTest::newRow("archive folder missing") << Names({"a.txt"}) << "*.txt" << false << any << 6
                                            << "missing/out.zip" << 310 << QStringList{};
}

void ZipEngineCreateTest::outcomes() {
    QFETCH(QStringList, layout);
    QFETCH(QString, patterns);
    QFETCH(bool, subdirs);
    QFETCH(QDate, date);
    QFETCH(int, level);
    QFETCH(QString, archiveName);
    QFETCH(int, result);
    QFETCH(QStringList, members);
    QTemporaryDir row;
    const QString src = row.filePath(QStringLiteral("src"));
    QVERIFY(QDir().mkpath(src));
    for (const QString& item : layout) {
        const QString path = src + u'/' + item.section(u':', -1);
        if (item.startsWith(u"fifo:"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        else if (item.startsWith(u"dangling:"))
            QVERIFY(QFile::link(src + QStringLiteral("/gone"), path));
        else
            QVERIFY(WriteFile(path, "content of " + item.toUtf8()));
    }
    const QString archive = src + u'/' + archiveName;
    QVERIFY(WriteFile(row.filePath(QStringLiteral("unrelated.txt")), "unrelated"));
    const bool hasFolder = QFileInfo(archive).dir().exists();
    if (hasFolder)
        QCOMPARE(Run(QStringLiteral("/usr/bin/zip"),
                     {QStringLiteral("-q"), archive, QStringLiteral("unrelated.txt")}, row.path())
                     .exitCode,
                 0);
    const QByteArray old = ReadFile(archive);

    ZipRequest request;
    request.patterns = QStringList{src + u'/' + patterns};
    request.archivePath = archive;
    request.recurse = subdirs;
    request.earliest = date;
    request.level = level;
    QCOMPARE(int(CreateArchive(request).result), result);
    if (members.isEmpty()) {
        QCOMPARE(QFileInfo::exists(archive), hasFolder);
        QCOMPARE(ReadFile(archive), old);
    } else {
        QCOMPARE(ZipMembers(archive), members);
        QCOMPARE(UnzipTest(archive), 0);
    }
    QVERIFY(!QDir(QFileInfo(archive).path())
                 .entryList(QDir::AllEntries | QDir::Hidden)
                 .join(u' ')
                 .contains(QStringLiteral(".tarvik-")));
}

void ZipEngineCreateTest::integrity_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("password");
    QTest::newRow("stored") << 0 << "";
    QTest::newRow("deflate 6") << 6 << "";
    QTest::newRow("AES, deflate 6") << 6 << "Secret-1";
    QTest::newRow("AES, stored") << 0 << "Secret-1";
}

void ZipEngineCreateTest::integrity() {
    QFETCH(int, level);
    QFETCH(QString, password);
    QTemporaryDir row;
    const QString src = row.filePath(QStringLiteral("src"));
    const QByteArray mixed = MixedData(3 << 20, 7);
    QVERIFY(WriteFile(src + QStringLiteral("/mixed.bin"), mixed));
    QVERIFY(WriteFile(src + QStringLiteral("/empty.txt"), {}));
    QVERIFY(WriteFile(src + QStringLiteral("/script.sh"), "#!/bin/sh\necho hi\n"));
    QCOMPARE(::chmod(QFile::encodeName(src + QStringLiteral("/script.sh")).constData(), 0750), 0);
    QVERIFY(SetModified(src + QStringLiteral("/script.sh"), 1600000001)); // odd: not a DOS time
    const QString archive = row.filePath(QStringLiteral("out.zip"));
    ZipRequest request;
    request.patterns = QStringList{src + QStringLiteral("/*.*")};
    request.archivePath = archive;
    request.password = password;
    request.level = level;
    QCOMPARE(CreateArchive(request).result, zipresult::kOk);

    const QString out = row.filePath(QStringLiteral("out"));
    const Ran listed = Python(kPython, {archive});
    QCOMPARE(listed.exitCode, 0);
    if (password.isEmpty()) {
        QCOMPARE(UnzipTest(archive), 0);
        QCOMPARE(Run(QStringLiteral("/usr/bin/unzip"),
                     {QStringLiteral("-q"), archive, QStringLiteral("-d"), out})
                     .exitCode,
                 0);
        QCOMPARE(Modified(out + QStringLiteral("/script.sh")), 1600000001);
        QCOMPARE(QFileInfo(out + QStringLiteral("/script.sh")).permissions() & 0x0fff,
                 QFileInfo(src + QStringLiteral("/script.sh")).permissions() & 0x0fff);
        QVERIFY(listed.output.contains(QByteArray("mixed.bin ") + (level == 0 ? "0" : "8") + " 0"));
    } else {
        QCOMPARE(SevenZipTest(archive, password), 0);
        QVERIFY(SevenZipTest(archive, QStringLiteral("Wrong")) != 0);
        QCOMPARE(SevenZipExtract(archive, password, out), 0);
        QVERIFY(listed.output.contains("mixed.bin 99 1")); // 99: WinZip AES
        QVERIFY(listed.output.contains("empty.txt 99 1"));
    }
    QCOMPARE(ReadFile(out + QStringLiteral("/mixed.bin")), mixed);
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/empty.txt")));
}

// Files that change between listing and writing: the writer must leave them
// out and say so, never write a broken entry.
void ZipEngineCreateTest::changedSources_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("removed") << "remove";
    QTest::newRow("shrunk") << "shrink";
    QTest::newRow("grown") << "grow";
    QTest::newRow("replaced by a FIFO") << "fifo";
}

void ZipEngineCreateTest::changedSources() {
    QFETCH(QString, change);
    QTemporaryDir row;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        QVERIFY(WriteFile(row.filePath(QLatin1String(name)), MixedData(100000, 3)));
    zipio::WalkResult walked = zipio::CollectSources({row.filePath(QStringLiteral("*.txt"))}, {});
    QCOMPARE(walked.fileCount, qsizetype(3));
    const QString b = row.filePath(QStringLiteral("b.txt"));
    QFile file(b);
    if (change == u"remove" || change == u"fifo")
        QVERIFY(file.remove());
    if (change == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(b).constData(), 0644), 0);
    if (change == u"shrink")
        QVERIFY(file.resize(50000));
    if (change == u"grow")
        QVERIFY(file.open(QIODevice::Append) && file.write("more") == 4);
    file.close();

    const QString archive = row.filePath(QStringLiteral("out.zip"));
    const zipio::WriteOutcome outcome = zipio::WriteArchive(archive, walked.entries, {6, {}});
    QCOMPARE(outcome.result, zipresult::kFilesSkipped);
    QCOMPARE(outcome.skipped, qsizetype(1));
    QVERIFY(outcome.written);
    QCOMPARE(ZipMembers(archive), Names({"a.txt", "c.txt"}));
    QCOMPARE(UnzipTest(archive), 0);
}

// A file size limit makes writing fail even for root, like a full disk.
void ZipEngineCreateTest::writeFailureLeavesNothing() {
    QTemporaryDir row;
    const QString src = row.filePath(QStringLiteral("src"));
    QVERIFY(WriteFile(src + QStringLiteral("/big.bin"), MixedData(1 << 20, 11)));
    const QString archive = row.filePath(QStringLiteral("out.zip"));
    ZipRequest request;
    request.patterns = QStringList{src + QStringLiteral("/big.bin")};
    request.archivePath = archive;
    request.level = 0;
    std::signal(SIGXFSZ, SIG_IGN);
    quint16 result;
    {
        Limit limit(RLIMIT_FSIZE, 64 * 1024);
        QVERIFY(limit.ok());
        result = CreateArchive(request).result;
    }
    QCOMPARE(result, zipresult::kWriteError);
    QCOMPARE(QDir(row.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

void ZipEngineCreateTest::manyFilesFewDescriptors() {
    QTemporaryDir row;
    const QString src = row.filePath(QStringLiteral("many"));
    QVERIFY(QDir().mkpath(src));
    constexpr int kFiles = 20000;
    for (int i = 0; i < kFiles; ++i)
        QVERIFY(WriteFile(src + QStringLiteral("/f%1.txt").arg(i), QByteArray::number(i)));
    const QString archive = row.filePath(QStringLiteral("many.zip"));
    ZipRequest request;
    request.patterns = QStringList{src + QStringLiteral("/*.txt")};
    request.archivePath = archive;
    request.level = 0; // deflate state per entry only slows sanitizer builds
    ZipOutcome outcome;
    {
        Limit limit(RLIMIT_NOFILE, 256);
        QVERIFY(limit.ok());
        outcome = CreateArchive(request);
    }
    QCOMPARE(outcome.result, zipresult::kOk);
    QCOMPARE(ZipMembers(archive).size(), qsizetype(kFiles));
    QCOMPARE(outcome.archived.size(), qsizetype(kFiles));
}

// NUL in the password or the patterns is refused the same way; the runner
// tests check those through a script.
void ZipEngineCreateTest::archivePath_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("error"); // 0: accepted
    QTest::newRow("absolute") << "/tmp/new.zip" << 0;
    QTest::newRow("empty") << "" << EINVAL;
    QTest::newRow("relative") << "new.zip" << EINVAL;
    QTest::newRow("with NUL") << QStringLiteral("/tmp/a") + QChar(0) + QStringLiteral("b.zip")
                              << EINVAL;
    QTest::newRow("ends in separator") << "/tmp/new/" << EINVAL;
    QTest::newRow("too long") << QStringLiteral("/") + QString(5000, u'a') << ENAMETOOLONG;
}

void ZipEngineCreateTest::archivePath() {
    QFETCH(QString, value);
    QFETCH(int, error);
    const std::optional<PlatformError> refused = RefusedArchivePath(value);
    QCOMPARE(refused.value_or(PlatformError{}).number, error);
    if (error != 0)
        QCOMPARE(refused->description, QString::fromLocal8Bit(::strerror(error)));
}

QTEST_GUILESS_MAIN(ZipEngineCreateTest)
#include "tst_zipengine_create.moc"
