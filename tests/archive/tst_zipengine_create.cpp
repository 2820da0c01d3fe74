#include "ArchiveTools.h"
#include "archive/ArchiveWriter.h"
#include "archive/SourceWalker.h"
#include "archive/ZipEngine.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kPiece = 1 << 20; // the deflate workers cut files at whole MiBs

// Makes `path` the start of a chain like {"link 0", "link 4242", "secret 0"}:
// links, then a file, each owned by the uid named (links through lchown).
bool makeOwnedChain(const QStringList& chain, const QString& path) {
    QString at = path;
    for (qsizetype i = 0; i < chain.size(); ++i) {
        const uid_t owner = chain[i].section(u' ', 1).toUInt();
        const QString next = path + u".hop"_s + QString::number(i);
        if (!(i + 1 == chain.size() ? writeFile(at, "secret") : QFile::link(next, at)) ||
            ::lchown(QFile::encodeName(at).constData(), owner, owner) != 0)
            return false;
        at = next;
    }
    return true;
}

} // namespace

class ZipEngineCreateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void create_data();
    void create();
    void roundTrip_data();
    void roundTrip();
    void changedSources_data();
    void changedSources();
    void byteNames();
    void archivePath_data();
    void archivePath();

private:
    QTemporaryDir dir_;
    QString big_;
};

// Pieces fall at whole MiBs: sizes on and beside those edges, noise deflate
// cannot shrink, empty and tiny files, a mode and an odd (not DOS) time, and
// enough small files that the workers run ahead of the writer and outnumber
// the descriptors a build gets.
void ZipEngineCreateTest::initTestCase() {
    big_ = dir_.filePath(u"big"_s);
    QVERIFY(writeFile(big_ + u"/large/mixed.bin"_s, mixedData(3 * kPiece + 12345, 1)));
    QVERIFY(writeFile(big_ + u"/large/one-piece.bin"_s, mixedData(kPiece, 2)));
    QVERIFY(writeFile(big_ + u"/large/just-over.bin"_s, mixedData(kPiece + 1, 3)));
    QVERIFY(writeFile(big_ + u"/large/noise.bin"_s, mixedData(2 * kPiece + 7, 5, true)));
    QVERIFY(writeFile(big_ + u"/large/repeats.txt"_s, QByteArray("again\n").repeated(700000)));
    QVERIFY(writeFile(big_ + u"/small/empty.txt"_s, {}));
    QVERIFY(writeFile(big_ + u"/small/one.sh"_s, "1"));
    for (int i = 0; i < 400; ++i)
        QVERIFY(writeFile(big_ + u"/small/f%1/n%2.txt"_s.arg(i % 7).arg(i),
                          mixedData(100 + i * 37, quint32(i + 10))));
    QVERIFY(writeFile(big_ + u"/small/gr\u00fc\u00dfe.txt"_s, "hello"));
    QVERIFY(QDir(big_).mkpath(u"small/empty-folder"_s));
    QCOMPARE(::chmod(QFile::encodeName(big_ + u"/small/one.sh"_s).constData(), 0750), 0);
    QVERIFY(setModified(big_ + u"/small/one.sh"_s, 1600000001));
}

// Layout items below src: a file, "old:FILE" (dated 2001), "FOLDER/", "NAME->TARGET"
// (a link, to nothing when TARGET is missing), "fifo:NAME", or an owned chain
// "link U > ... > secret U:NAME". Options: R recurse, H hidden files, D earliest
// 2010-01-01 (d: an invalid date), P paths stored, F folder entries, L level 10,
// M archive in a missing folder. In member names '@' is src without its root.
// An unrelated archive sits at the archive path first; when the build fails it
// must stay as it was.
void ZipEngineCreateTest::create_data() {
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("members");
    const auto row = [](const char* name, const char* layout, const char* patterns,
                        const char* options, int result, const char* members) {
        QTest::newRow(name) << QString::fromUtf8(layout) << QString::fromUtf8(patterns)
                            << QString::fromUtf8(options) << result << QString::fromUtf8(members);
    };
    const char* tree = "a.txt;b.log;README;.hidden.txt;old:old.txt;sub/c.txt;sub/.dot/d.txt;"
                       "sub/deep/e.TXT;empty/;linkdir->sub;linkfile.txt->a.txt";
    row("wildcard, one folder", tree, "*.txt", "", 0, "a.txt linkfile.txt old.txt");
    row("star dot star takes dotless names, never the archive itself", tree, "*.*", "", 0,
        "README a.txt b.log linkfile.txt old.txt");
    row("question mark", tree, "?.txt", "", 0, "a.txt");
    row("subfolders, case counts, linked folder not walked", tree, "*.txt", "R", 0,
        "a.txt c.txt linkfile.txt old.txt");
    row("hidden files and folders", tree, "*.txt", "RH", 0,
        ".hidden.txt a.txt c.txt d.txt linkfile.txt old.txt");
    row("earliest date", tree, "*.txt", "D", 0, "a.txt linkfile.txt");
    row("paths stored", tree, "*.txt", "RP", 0, "@/a.txt @/linkfile.txt @/old.txt @/sub/c.txt");
    row("folder entries keep empty folders", tree, "*.TXT", "RPF", 0,
        "@/ @/empty/ @/sub/ @/sub/deep/ @/sub/deep/e.TXT");
    row("no folder entries without paths", tree, "*.TXT", "RF", 0, "e.TXT");
    row("folder named without wildcards", tree, "sub", "R", 0, "c.txt e.TXT");
    row("file matched twice goes in once", tree, "a.txt *.txt", "", 0,
        "a.txt linkfile.txt old.txt");
    row("repeated names", "x/a.txt;y/a.txt", "*.txt", "R", 370, "");
    row("nothing matched", "a.log", "*.txt", "", 50, "");
    row("a folder not there or a file matches nothing", "a.txt", "*.txt no/*.txt a.txt/*", "", 0,
        "a.txt");
    row("FIFO and dangling link left out", "a.txt;fifo:p.txt;d.txt->gone", "*.txt", "", 40,
        "a.txt");
    row("only unreadable matches", "fifo:p.txt", "*.txt", "", 40, "");
    // Links run as root meets in a shared folder: followed only when the link
    // (each link of a chain) and the file have one owner; uid 4242 is "another user".
    row("another user's link to root's file left out", "a.txt;link 4242 > secret 0:s.txt", "*.txt",
        "", 40, "a.txt");
    row("chain through another user's link left out", "a.txt;link 0 > link 4242 > secret 0:s.txt",
        "*.txt", "", 40, "a.txt");
    row("root's link to root's file followed", "a.txt;link 0 > link 0 > secret 0:s.txt", "*.txt",
        "", 0, "a.txt s.txt");
    row("user's link to the user's file followed", "a.txt;link 4242 > secret 4242:s.txt", "*.txt",
        "", 0, "a.txt s.txt");
    row("invalid date", "a.txt", "*.txt", "d", 130, "");
    row("level out of range", "a.txt", "*.txt", "L", 130, "");
    row("archive folder missing", "a.txt", "*.txt", "M", 310, "");
}

void ZipEngineCreateTest::create() {
    QFETCH(QString, layout);
    QFETCH(QString, patterns);
    QFETCH(QString, options);
    QFETCH(int, result);
    QFETCH(QString, members);
    QTemporaryDir row;
    const QString src = row.filePath(u"src"_s);
    QVERIFY(QDir().mkpath(src));
    for (const QString& item : layout.split(u';')) {
        const QString path = src + u'/' + item.section(u':', -1).section(u"->"_s, 0, 0);
        if (item.startsWith(u"fifo:"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        else if (item.contains(u"->"_s))
            QVERIFY(QFile::link(src + u'/' + item.section(u"->"_s, 1), path));
        else if (item.startsWith(u"link "))
            QVERIFY(makeOwnedChain(item.section(u':', 0, 0).split(u" > "_s), path));
        else if (item.endsWith(u'/'))
            QVERIFY(QDir().mkpath(path));
        else
            QVERIFY(writeFile(path, "content of " + item.toUtf8()));
        if (item.startsWith(u"old:"))
            QVERIFY(setModified(path, 991353600)); // 2001-06-01
    }
    const QString archive = src + (options.contains(u'M') ? u"/missing/out.zip"_s : u"/out.zip"_s);
    QVERIFY(writeFile(row.filePath(u"unrelated.txt"_s), "unrelated"));
    QVERIFY(options.contains(u'M') || infoZip(row.path(), {archive, u"unrelated.txt"_s}));
    const QByteArray old = readFile(archive);

    ZipRequest request;
    for (const QString& pattern : patterns.split(u' '))
        request.patterns.append(src + u'/' + pattern);
    request.archivePath = archive;
    request.recurse = options.contains(u'R');
    request.includeHidden = options.contains(u'H');
    request.earliest = options.contains(u'D')   ? QDate(2010, 1, 1)
                       : options.contains(u'd') ? QDate()
                                                : QDate(1980, 1, 1);
    request.storePaths = options.contains(u'P');
    request.folderEntries = options.contains(u'F');
    request.level = options.contains(u'L') ? 10 : 6;
    QCOMPARE(int(CreateArchive(request).result), result);
    if (members.isEmpty()) {
        QCOMPARE(readFile(archive), old);
    } else {
        QStringList expected = members.replace(u'@', src.mid(1)).split(u' ');
        expected.sort();
        QCOMPARE(archiveMembers(archive), expected);
        QVERIFY(unzipTestPasses(archive));
    }
    QVERIFY(!filesBelow(row.path()).join(u' ').contains(u".tarvik-"_s));
}

// Built on several threads, the archive has the bytes of a one-thread build;
// Info-ZIP or 7-Zip and the engine itself read back every file, mode and time.
void ZipEngineCreateTest::roundTrip_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("threads");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("methods"); // (method, encrypted) of the file entries
    const auto row = [](const char* name, int level, int threads, const char* password,
                        const char* methods) {
        QTest::newRow(name) << level << threads << QString::fromUtf8(password)
                            << QString::fromUtf8(methods);
    };
    row("stored, 4 threads", 0, 4, "", "[(0, 0)]");
    row("deflate 1, 2 threads", 1, 2, "", "[(8, 0)]");
    row("deflate 9, 8 threads", 9, 8, "", "[(8, 0)]");
    row("AES, deflate 6, 3 threads", 6, 3, "Secret-1", "[(99, 1)]");
    row("AES, stored, 2 threads", 0, 2, "Secret-1", "[(99, 1)]");
}

void ZipEngineCreateTest::roundTrip() {
    QFETCH(int, level);
    QFETCH(int, threads);
    QFETCH(QString, password);
    QFETCH(QString, methods);
    QTemporaryDir row;
    const auto zip = [&](const QString& archive, int threads) {
        ZipRequest request;
        request.patterns = QStringList{big_};
        request.archivePath = archive;
        request.level = level;
        request.password = password;
        request.recurse = request.storePaths = request.folderEntries = true;
        request.threads = threads;
        // More files than descriptors: the writer must not hold them all open.
        return underLimit(RLIMIT_NOFILE, 256, [&] { return CreateArchive(request); }).result;
    };
    const QString archive = row.filePath(u"many.zip"_s);
    QCOMPARE(zip(archive, threads), zipresult::kOk);
    const ToolResult listed = python(u"import sys, zipfile\nprint(sorted({(i.compress_type, "
                                     u"i.flag_bits & 1) for i in zipfile.ZipFile(sys.argv[1])."
                                     u"infolist() if not i.is_dir()}))"_s,
                                     {archive});
    QCOMPARE(listed.output.trimmed(), methods);
    if (password.isEmpty()) {
        QCOMPARE(zip(row.filePath(u"one.zip"_s), 1), zipresult::kOk);
        QVERIFY(readFile(row.filePath(u"one.zip"_s)) == readFile(archive));
        QVERIFY(unzipTestPasses(archive));
        const QString peer = row.filePath(u"peer"_s);
        QCOMPARE(runTool(u"unzip"_s, {u"-q"_s, archive, u"-d"_s, peer}).exitCode, 0);
        QCOMPARE(treeSnapshot(peer + big_), treeSnapshot(big_));
        QVERIFY(QFileInfo(peer + big_ + u"/small/empty-folder"_s).isDir());
    }
    QVERIFY(sevenZipTestPasses(archive, password));
    QVERIFY(password.isEmpty() || !sevenZipTestPasses(archive, u"Wrong"_s));
    ExtractRequest request;
    request.archivePath = archive;
    request.patterns = QStringList{u"*"_s};
    request.password = password;
    request.folder = row.filePath(u"own"_s);
    request.threads = threads;
    QCOMPARE(ExtractArchive(request).result, zipresult::kOk);
    QCOMPARE(treeSnapshot(request.folder + big_), treeSnapshot(big_));
}

// Files that change between listing and writing: the writer leaves them out
// and says so, never writes a broken entry. Large ones fail in a later piece.
void ZipEngineCreateTest::changedSources_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("threads");
    QTest::newRow("removed") << "remove" << 100000ll << 1;
    QTest::newRow("shrunk") << "shrink" << 100000ll << 1;
    QTest::newRow("grown") << "grow" << 100000ll << 1;
    QTest::newRow("replaced by a FIFO") << "fifo" << 100000ll << 1;
    QTest::newRow("replaced by a link to a file of its size") << "link" << 100000ll << 1;
    QTest::newRow("large, shrunk into its second piece") << "shrink" << 3 * kPiece + 100 << 4;
    QTest::newRow("large, grown") << "grow" << 3 * kPiece + 100 << 3;
}

void ZipEngineCreateTest::changedSources() {
    QFETCH(QString, change);
    QFETCH(qint64, size);
    QFETCH(int, threads);
    QTemporaryDir row;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        QVERIFY(writeFile(row.filePath(QLatin1String(name)), mixedData(size, 3)));
    zipio::WalkResult walked = zipio::CollectSources({row.filePath(u"*.txt"_s)}, {});
    QCOMPARE(walked.fileCount, qsizetype(3));
    const QString b = row.filePath(u"b.txt"_s), other = row.filePath(u"other.bin"_s);
    QVERIFY(writeFile(other, mixedData(size, 3))); // before b goes, so it gets another inode
    QFile file(b);
    if (change == u"remove" || change == u"fifo" || change == u"link")
        QVERIFY(file.remove());
    if (change == u"link")
        QVERIFY(QFile::link(other, b));
    if (change == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(b).constData(), 0644), 0);
    if (change == u"shrink")
        QVERIFY(file.resize(size > kPiece ? kPiece + 10 : size / 2));
    if (change == u"grow")
        QVERIFY(file.open(QIODevice::Append) && file.write("more") == 4);
    file.close();
    const QString archive = row.filePath(u"out.zip"_s);
    const zipio::WriteOutcome outcome =
        zipio::WriteArchive(archive, walked.entries, {6, {}, threads});
    QCOMPARE(outcome.result, zipresult::kFilesSkipped);
    QCOMPARE(outcome.skipped, qsizetype(1));
    QVERIFY(outcome.written);
    QCOMPARE(archiveMembers(archive), (QStringList{u"a.txt"_s, u"c.txt"_s}));
    QVERIFY(unzipTestPasses(archive));
}

// Names are bytes: Latin-1 names neither collide nor change on the way
// through an archive made by Tarvik or by Info-ZIP; UTF-8 names carry the
// UTF-8 flag (bit 11).
void ZipEngineCreateTest::byteNames() {
    QTemporaryDir row;
    // QTemporaryDir cannot remove names that are not UTF-8.
    const auto removeAll = qScopeGuard([&] { runTool(u"rm"_s, {u"-rf"_s, row.path()}); });
    // "make" fills a folder with files holding their own names; both print
    // what the folder holds.
    const QString files = uR"(
import os, sys
folder = os.fsencode(sys.argv[2])
if sys.argv[1] == 'make':
    os.makedirs(folder)
    for n in (b'caf\xc3\xa9.txt', b'caf\xe8.txt', b'caf\xe9.txt'):
        open(os.path.join(folder, n), 'wb').write(n)
print(sorted(n + b'=' + open(os.path.join(folder, n), 'rb').read() for n in os.listdir(folder)))
)"_s;
    const QString src = row.filePath(u"src"_s), archive = row.filePath(u"t.zip"_s);
    const ToolResult made = python(files, {u"make"_s, src});
    QVERIFY(made.output.contains(u"caf\\xe8.txt=caf\\xe8.txt"_s));
    ZipRequest zip;
    zip.patterns = QStringList{src + u"/caf*"_s};
    zip.archivePath = archive;
    QCOMPARE(CreateArchive(zip).result, zipresult::kOk);
    const ToolResult flags = python(u"import sys, zipfile\nfor i in zipfile.ZipFile(sys.argv[1])"
                                    u".infolist():\n    print(i.flag_bits >> 11 & 1, end='')"_s,
                                    {archive});
    QCOMPARE(flags.output, u"100"_s); // UTF-8 flag, in name order
    QVERIFY(runTool(u"sh"_s, {u"-c"_s, u"zip -q ../i.zip *"_s}, src).exitCode == 0);
    for (const QString& name : {u"t"_s, u"i"_s}) {
        const QString zipped = row.filePath(name + u".zip"_s), out = row.filePath(name);
        QList<QByteArray> listed = runTool(u"unzip"_s, {u"-Z1"_s, zipped}).raw.split('\n');
        std::sort(listed.begin(), listed.end());
        QCOMPARE(listed.join('|'), QByteArray("|caf\xc3\xa9.txt|caf\xe8.txt|caf\xe9.txt"));
        QCOMPARE(runTool(u"unzip"_s, {u"-q"_s, zipped, u"-d"_s, out + u"-unzip"_s}).exitCode, 0);
        ExtractRequest request;
        request.archivePath = zipped;
        request.patterns = QStringList{u"*"_s};
        request.folder = out + u"-tarvik"_s;
        QCOMPARE(ExtractArchive(request).result, zipresult::kOk);
        for (const QString& got : {out + u"-unzip"_s, request.folder})
            QCOMPARE(python(files, {u"list"_s, got}).output, made.output);
    }
}

// NUL in the password or the patterns is refused the same way; the runner
// tests check those through a script.
void ZipEngineCreateTest::archivePath_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("error"); // 0: accepted
    QTest::newRow("absolute") << "/tmp/new.zip" << 0;
    QTest::newRow("empty") << "" << EINVAL;
    QTest::newRow("relative") << "new.zip" << EINVAL;
    QTest::newRow("with NUL") << u"/tmp/a\0b.zip"_s << EINVAL;
    QTest::newRow("ends in separator") << "/tmp/new/" << EINVAL;
    QTest::newRow("too long") << u"/"_s + QString(5000, u'a') << ENAMETOOLONG;
}

void ZipEngineCreateTest::archivePath() {
    QFETCH(QString, value);
    QFETCH(int, error);
    const std::optional<PlatformError> refused = RefusedArchivePath(value);
    QCOMPARE(refused.value_or(PlatformError{}).number, error);
    QVERIFY(!refused || refused->description == QString::fromLocal8Bit(::strerror(error)));
}

QTEST_GUILESS_MAIN(ZipEngineCreateTest)
#include "tst_zipengine_create.moc"
