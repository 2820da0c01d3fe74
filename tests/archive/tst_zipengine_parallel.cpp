#include "archive/ArchiveWriter.h"
#include "archive/SourceWalker.h"
#include "archive/ZipEngine.h"
#include "tst_zipengine_tools.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>

using namespace tarvik;
using namespace ziptest;

namespace {

constexpr qint64 kPiece = 1 << 20; // the deflate workers cut files at whole MiBs

// Bytes that do not compress.
QByteArray Noise(qsizetype size, quint32 seed) {
    QByteArray data(size, Qt::Uninitialized);
    quint32 state = seed | 1u;
    for (qsizetype i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        data[i] = char(state >> 24);
    }
    return data;
}

// Writes an archive with Python's zipfile: argv[2:] are name=content pairs,
// in that order.
const QString kPythonWriter = QStringLiteral(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for pair in sys.argv[2:]:
        name, data = pair.split('=', 1)
        z.writestr(zipfile.ZipInfo(name, (2020, 9, 13, 12, 26, 40)), data)
)");

// Every file below root (relative name, content, mode bits, modification time).
QStringList Snapshot(const QString& root) {
    QStringList lines;
    for (const QString& name : FilesBelow(root)) {
        const QString path = root + u'/' + name;
        const QByteArray hash =
            QCryptographicHash::hash(ReadFile(path), QCryptographicHash::Sha256).toHex();
        lines.append(QStringLiteral("%1 %2 %3 %4")
                         .arg(name, QString::fromLatin1(hash))
                         .arg(int(QFileInfo(path).permissions()), 0, 16)
                         .arg(Modified(path)));
    }
    return lines;
}

} // namespace

class ZipEngineParallelTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sameBytesForAnyThreadCount_data();
    void sameBytesForAnyThreadCount();
    void encryptedArchives_data();
    void encryptedArchives();
    void changedLargeFile_data();
    void changedLargeFile();
    void extractionSameForAnyThreadCount_data();
    void extractionSameForAnyThreadCount();
    void membersSharingPaths_data();
    void membersSharingPaths();
    void fullDiskStopsLikeOneThread_data();
    void fullDiskStopsLikeOneThread();

private:
    quint16 zip(const QString& archive, int level, int threads, const QString& password = {});
    quint16 unzip(const QString& archive, const QString& folder, int threads,
                  const QString& password = {});

    QTemporaryDir dir_;
    QString tree_;
};

// Pieces fall at whole MiBs: sizes on and beside those edges, a file of
// several pieces, noise that deflate cannot shrink, empty and tiny files,
// and enough small files that workers run well ahead of the writer.
void ZipEngineParallelTest::initTestCase() {
    QVERIFY(dir_.isValid());
    tree_ = dir_.filePath(QStringLiteral("tree"));
    QVERIFY(
        WriteFile(tree_ + QStringLiteral("/large/mixed.bin"), MixedData(3 * kPiece + 12345, 1)));
    QVERIFY(WriteFile(tree_ + QStringLiteral("/large/one-piece.bin"), MixedData(kPiece, 2)));
    QVERIFY(WriteFile(tree_ + QStringLiteral("/large/just-over.bin"), MixedData(kPiece + 1, 3)));
    QVERIFY(WriteFile(tree_ + QStringLiteral("/large/two-pieces.bin"), MixedData(2 * kPiece, 4)));
    QVERIFY(WriteFile(tree_ + QStringLiteral("/large/noise.bin"), Noise(2 * kPiece + 7, 5)));
    QVERIFY(WriteFile(tree_ + QStringLiteral("/large/repeats.txt"),
                      QByteArray("the same line again\n").repeated(200000)));
    QVERIFY(WriteFile(tree_ + QStringLiteral("/small/empty.txt"), {}));
    QVERIFY(WriteFile(tree_ + QStringLiteral("/small/one.txt"), "1"));
    for (int i = 0; i < 400; ++i)
        QVERIFY(WriteFile(tree_ + QStringLiteral("/small/f%1/n%2.txt").arg(i % 7).arg(i),
                          MixedData(100 + i * 37, quint32(i + 10))));
    QVERIFY(WriteFile(tree_ + QString::fromUtf8("/small/gr\xC3\xBC\xC3\x9F"
                                                "e.txt"),
                      "hello"));
    QVERIFY(QDir(tree_).mkpath(QStringLiteral("small/empty-folder")));
    QCOMPARE(::chmod(QFile::encodeName(tree_ + QStringLiteral("/small/one.txt")).constData(), 0750),
             0);
    QVERIFY(SetModified(tree_ + QStringLiteral("/small/one.txt"), 1600000001));
}

quint16 ZipEngineParallelTest::zip(const QString& archive, int level, int threads,
                                   const QString& password) {
    ZipRequest request;
    request.patterns = QStringList{tree_};
    request.archivePath = archive;
    request.level = level;
    request.password = password;
    request.recurse = true;
    request.storePaths = true;
    request.folderEntries = true;
    request.threads = threads;
    return CreateArchive(request).result;
}

quint16 ZipEngineParallelTest::unzip(const QString& archive, const QString& folder, int threads,
                                     const QString& password) {
    ExtractRequest request;
    request.archivePath = archive;
    request.patterns = QStringList{QStringLiteral("*")};
    request.password = password;
    request.replaceExisting = true;
    request.folder = folder;
    request.threads = threads;
    return ExtractArchive(request).result;
}

void ZipEngineParallelTest::sameBytesForAnyThreadCount_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("threads");
    QTest::newRow("stored, 4 threads") << 0 << 4;
    QTest::newRow("deflate 1, 2 threads") << 1 << 2;
    QTest::newRow("deflate 6, 3 threads") << 6 << 3;
    QTest::newRow("deflate 9, 8 threads") << 9 << 8;
}

void ZipEngineParallelTest::sameBytesForAnyThreadCount() {
    QFETCH(int, level);
    QFETCH(int, threads);
    QTemporaryDir row;
    const QString single = row.filePath(QStringLiteral("single.zip"));
    const QString many = row.filePath(QStringLiteral("many.zip"));
    QCOMPARE(zip(single, level, 1), zipresult::kOk);
    QCOMPARE(zip(many, level, threads), zipresult::kOk);
    const QByteArray bytes = ReadFile(many);
    QVERIFY(!bytes.isEmpty());
    QVERIFY(bytes == ReadFile(single));

    QCOMPARE(UnzipTest(many), 0);
    QCOMPARE(SevenZipTest(many), 0);
    const QString out = row.filePath(QStringLiteral("out"));
    QCOMPARE(Run(QStringLiteral("/usr/bin/unzip"),
                 {QStringLiteral("-q"), many, QStringLiteral("-d"), out})
                 .exitCode,
             0);
    QCOMPARE(Snapshot(out + tree_), Snapshot(tree_));
    QVERIFY(QFileInfo(out + tree_ + QStringLiteral("/small/empty-folder")).isDir());
}

// WinZip AES encrypts the deflate stream the workers made: 7-Zip must accept
// it with the password and refuse it without.
void ZipEngineParallelTest::encryptedArchives_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("threads");
    QTest::newRow("deflate 9, 4 threads") << 9 << 4;
    QTest::newRow("deflate 1, 2 threads") << 1 << 2;
    QTest::newRow("stored, 2 threads") << 0 << 2;
}

void ZipEngineParallelTest::encryptedArchives() {
    QFETCH(int, level);
    QFETCH(int, threads);
    QTemporaryDir row;
    const QString archive = row.filePath(QStringLiteral("aes.zip"));
    const QString password = QStringLiteral("Secret-1");
    QCOMPARE(zip(archive, level, threads, password), zipresult::kOk);
    QCOMPARE(SevenZipTest(archive, password), 0);
    QVERIFY(SevenZipTest(archive, QStringLiteral("Wrong")) != 0);
    const QString out = row.filePath(QStringLiteral("out"));
    QCOMPARE(SevenZipExtract(archive, password, out), 0);
    QCOMPARE(Snapshot(out + tree_).size(), Snapshot(tree_).size());
    const QString own = row.filePath(QStringLiteral("own"));
    QCOMPARE(unzip(archive, own, threads, password), zipresult::kOk);
    QCOMPARE(Snapshot(own + tree_), Snapshot(tree_));
}

// A file of several pieces that changes after it was listed: the piece that
// meets the change fails, the file is left out and the rest is written.
void ZipEngineParallelTest::changedLargeFile_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("threads");
    QTest::newRow("shrunk into its second piece, 1 thread") << "shrink" << 1;
    QTest::newRow("shrunk into its second piece, 4 threads") << "shrink" << 4;
    QTest::newRow("grown, 3 threads") << "grow" << 3;
    QTest::newRow("removed, 2 threads") << "remove" << 2;
}

void ZipEngineParallelTest::changedLargeFile() {
    QFETCH(QString, change);
    QFETCH(int, threads);
    QTemporaryDir row;
    const QString big = row.filePath(QStringLiteral("big.bin"));
    QVERIFY(WriteFile(big, MixedData(3 * kPiece + 100, 21)));
    for (const char* name : {"a.txt", "c.txt"})
        QVERIFY(WriteFile(row.filePath(QLatin1String(name)), MixedData(5000, 22)));
    zipio::WalkResult walked = zipio::CollectSources({row.filePath(QStringLiteral("*"))}, {});
    QCOMPARE(walked.fileCount, qsizetype(3));
    QFile file(big);
    if (change == u"shrink")
        QVERIFY(file.resize(kPiece + 10));
    else if (change == u"grow")
        QVERIFY(file.open(QIODevice::Append) && file.write("more") == 4);
    else
        QVERIFY(file.remove());
    file.close();

    const QString archive = row.filePath(QStringLiteral("out.zip"));
    const zipio::WriteOutcome outcome =
        zipio::WriteArchive(archive, walked.entries, {9, {}, threads});
    QCOMPARE(outcome.result, zipresult::kFilesSkipped);
    QCOMPARE(outcome.skipped, qsizetype(1));
    QVERIFY(outcome.written);
    QCOMPARE(ZipMembers(archive), Names({"a.txt", "c.txt"}));
    QCOMPARE(UnzipTest(archive), 0);
}

// Archives from Tarvik and from Info-ZIP extracted on one thread and on
// several give the same files, modes and times.
void ZipEngineParallelTest::extractionSameForAnyThreadCount_data() {
    QTest::addColumn<QString>("maker");
    QTest::addColumn<int>("threads");
    QTest::newRow("Tarvik archive, 2 threads") << "tarvik" << 2;
    QTest::newRow("Info-ZIP archive, 3 threads") << "infozip" << 3;
}

void ZipEngineParallelTest::extractionSameForAnyThreadCount() {
    QFETCH(QString, maker);
    QFETCH(int, threads);
    QTemporaryDir row;
    const QString archive = row.filePath(QStringLiteral("in.zip"));
    if (maker == u"tarvik") {
        QCOMPARE(zip(archive, 6, 2), zipresult::kOk);
    } else {
        QCOMPARE(Run(QStringLiteral("/usr/bin/zip"),
                     {QStringLiteral("-rq"), archive, QFileInfo(tree_).fileName()}, dir_.path())
                     .exitCode,
                 0);
    }
    const QString one = row.filePath(QStringLiteral("one"));
    const QString many = row.filePath(QStringLiteral("many"));
    QCOMPARE(unzip(archive, one, 1), zipresult::kOk);
    QCOMPARE(unzip(archive, many, threads), zipresult::kOk);
    const QStringList files = Snapshot(many);
    QVERIFY(files.size() > 400);
    QCOMPARE(files, Snapshot(one));
    QCOMPARE(QDir(many).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
             qsizetype(1)); // no temporary files left behind
}

// Members that land on the same path, or on each other's way, must come out
// as one thread taking them in archive order leaves them: the later copy of
// a name wins, and a file in the way of a folder fails the same members.
void ZipEngineParallelTest::membersSharingPaths_data() {
    QTest::addColumn<QStringList>("members");
    QTest::addColumn<int>("result");
    QTest::newRow("the same name twice")
        << Names({"a.txt=first", "b.txt=b", "a.txt=second", "c.txt=c"}) << 0;
    QTest::newRow("names differing in letter case")
        << Names({"Doc.txt=first", "doc.TXT=second", "DOC.txt=third", "other.txt=o"}) << 0;
    QTest::newRow("the same name spelled twice")
        << Names({"d/a.txt=first", "d//./a.txt=second", "d\\a.txt=third"}) << 0;
    QTest::newRow("a file, then a folder of that name")
        << Names({"x=file", "x/y.txt=inside", "z.txt=z"}) << 310;
    QTest::newRow("a folder, then a file of that name")
        << Names({"x/y.txt=inside", "x=file", "z.txt=z"}) << 310;
    QTest::newRow("folder members and files below them")
        << Names({"f/=", "f/a.txt=a", "f/g/=", "f/g/b.txt=b", "f/a.txt=again"}) << 0;
}

void ZipEngineParallelTest::membersSharingPaths() {
    QFETCH(QStringList, members);
    QFETCH(int, result);
    QTemporaryDir row;
    const QString archive = row.filePath(QStringLiteral("paths.zip"));
    QCOMPARE(Python(kPythonWriter, QStringList{archive} + members).exitCode, 0);
    const QString one = row.filePath(QStringLiteral("one"));
    const QString many = row.filePath(QStringLiteral("many"));
    QCOMPARE(int(unzip(archive, one, 1)), result);
    QCOMPARE(int(unzip(archive, many, 4)), result);
    QCOMPARE(Snapshot(many), Snapshot(one));
    QVERIFY(!Snapshot(one).isEmpty());
}

// A member that cannot be written (a file size limit stands in for a full
// disk) ends the run with 300 whatever the thread count, and every member
// before it in the archive is extracted, as on one thread.
void ZipEngineParallelTest::fullDiskStopsLikeOneThread_data() {
    QTest::addColumn<int>("threads");
    QTest::newRow("1 thread") << 1;
    QTest::newRow("6 threads") << 6;
}

void ZipEngineParallelTest::fullDiskStopsLikeOneThread() {
    QFETCH(int, threads);
    QTemporaryDir row;
    QStringList args{QStringLiteral("-q"), QStringLiteral("-0"), QStringLiteral("in.zip")};
    QStringList before;
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("a%1.txt").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(WriteFile(row.filePath(name), MixedData(3000, quint32(i + 1))));
        args.append(name);
        before.append(name);
    }
    // Large enough to be started first on several threads.
    QVERIFY(WriteFile(row.filePath(QStringLiteral("big.bin")), MixedData(5 << 20, 99)));
    args.append(QStringLiteral("big.bin"));
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("z%1.txt").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(WriteFile(row.filePath(name), MixedData(3000, quint32(i + 50))));
        args.append(name);
    }
    QCOMPARE(Run(QStringLiteral("/usr/bin/zip"), args, row.path()).exitCode, 0);

    const QString out = row.filePath(QStringLiteral("out"));
    std::signal(SIGXFSZ, SIG_IGN);
    quint16 result;
    {
        Limit limit(RLIMIT_FSIZE, 64 * 1024);
        QVERIFY(limit.ok());
        result = unzip(row.filePath(QStringLiteral("in.zip")), out, threads);
    }
    QCOMPARE(result, zipresult::kWriteError);
    const QStringList files = FilesBelow(out);
    for (const QString& name : std::as_const(before))
        QVERIFY2(files.contains(name), qPrintable(name));
    QVERIFY(!files.contains(QStringLiteral("big.bin")));
    QVERIFY(!files.join(u' ').contains(QStringLiteral(".tarvik-")));
}

QTEST_GUILESS_MAIN(ZipEngineParallelTest)
#include "tst_zipengine_parallel.moc"
