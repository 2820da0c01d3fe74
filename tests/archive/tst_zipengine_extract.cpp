#include "ArchiveTools.h"
#include "archive/SafePath.h"
#include "archive/ZipEngine.h"
#include "storage/Wildcard.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kMemberTime = 1600000000; // even, so DOS times hold it exactly

quint16 extract(const QString& archive, const QString& folder, const QString& password = {},
                int mode = 0, bool replace = true, int threads = 0,
                const QStringList& patterns = {u"*.*"_s}) {
    ExtractRequest request;
    request.archivePath = archive;
    request.patterns = patterns;
    request.password = password;
    request.replaceExisting = replace;
    request.mode = ExtractMode(mode);
    request.folder = folder;
    request.threads = threads;
    return ExtractArchive(request).result;
}

// "name=content" of every file below root.
QStringList contents(const QString& root) {
    QStringList files = filesBelow(root);
    for (QString& name : files)
        name += u'=' + QString::fromUtf8(readFile(root + u'/' + name));
    return files;
}

} // namespace

class ZipEngineExtractTest : public QObject {
    Q_OBJECT

private slots:
    void wildcard_data();
    void wildcard();
    void memberPath_data();
    void memberPath();
    void members_data();
    void members();
    void archives_data();
    void archives();
    void fullDiskStopsLikeOneThread();
};

// What the create and members tables do not show already.
void ZipEngineExtractTest::wildcard_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("matches");
    const auto row = [](const char* row, const QString& pattern, const QString& name,
                        bool ignoreCase, bool matches) {
        QTest::newRow(row) << pattern << name << ignoreCase << matches;
    };
    row("star dot star, leading dot", u"*.*"_s, u".bashrc"_s, false, true);
    row("name dot star, bare name", u"a.*"_s, u"a"_s, false, true);
    row("name dot star, longer name", u"a.*"_s, u"ab"_s, false, false);
    row("name dot star, two dots", u"a.*"_s, u"a.b.c"_s, false, true);
    row("dot star needs the dot when the name has one", u"*x.*"_s, u"a.b"_s, false, false);
    row("question mark, one code point", u"?.txt"_s, u"\U0001F600.txt"_s, false, true);
    row("suffix must end", u"*.txt"_s, u"a.txt.bak"_s, false, false);
    row("case ignored", u"*.txt"_s, u"A.TXT"_s, true, true);
    row("case ignored, non-ASCII", u"\u00e4*"_s, u"\u00c4rger"_s, true, true);
    row("several stars", u"a*b*c"_s, u"aXXbYYc"_s, false, true);
    row("several stars, missing tail", u"a*b*c"_s, u"aXXbYY"_s, false, false);
    row("empty name", u"*"_s, u""_s, false, true);
    row("literal needs all", u"abc"_s, u"ab"_s, false, false);
    row("backtracking, never exponential", u"*a*a*a*a*a*a*b"_s, QString(5000, u'a'), false, false);
}

void ZipEngineExtractTest::wildcard() {
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, matches);
    QCOMPARE(MatchWildcard(pattern, name, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive),
             matches);
}

// The member names that would leave the extraction folder, by name alone; the
// members table shows one skipped end to end, and what the disk adds.
void ZipEngineExtractTest::memberPath_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("steps"); // joined with '/'; "REFUSED" when refused
    const auto row = [](const char* name, const char* steps) {
        QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(steps);
    };
    row("a/b.txt", "a/b.txt");
    row("./a//b/", "a/b");
    row("a\\b.txt", "a/b.txt");
    row("..a/b", "..a/b");
    for (const char* refused : {"../evil.txt", "a/../../evil.txt", "a\\..\\..\\evil.txt", "a/..",
                                "/etc/x", "\\etc\\x", "C:/evil.txt", "c:x"})
        row(refused, "REFUSED");
}

void ZipEngineExtractTest::memberPath() {
    QFETCH(QString, name);
    QFETCH(QString, steps);
    const std::optional<QStringList> safe = zipio::SafeMemberPath(name);
    QCOMPARE(safe ? safe->join(u'/') : u"REFUSED"_s, steps);
}

// Archives from Python's zipfile, extracted on one thread and on four. The
// folder holds "link" to a folder beside it, which must stay empty. Members
// sharing a path come out as one thread taking them in archive order leaves
// them: the later copy wins, a file in the way of a folder fails the same.
void ZipEngineExtractTest::members_data() {
    QTest::addColumn<QString>("members");
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("files"); // below the folder but "link", with contents
    const char* five = "a.txt=1 docs/b.TXT=2 docs/deep/c.txt=3 docs/d.log=4 other/a.txt=5";
    const auto row = [](const char* name, const char* members, const char* patterns, int result,
                        const char* files) {
        QTest::newRow(name) << QString::fromUtf8(members) << QString::fromUtf8(patterns) << result
                            << QString::fromUtf8(files);
    };
    row("everything", five, "*.*", 0,
        "a.txt=1 docs/b.TXT=2 docs/d.log=4 docs/deep/c.txt=3 other/a.txt=5");
    row("name at any depth, any case", five, "*.txt", 0,
        "a.txt=1 docs/b.TXT=2 docs/deep/c.txt=3 other/a.txt=5");
    row("exact name at any depth", five, "c.txt", 0, "docs/deep/c.txt=3");
    row("whole path, any case", five, "DOCS/B.txt", 0, "docs/b.TXT=2");
    row("path wildcard runs across folders", five, "docs/*.txt", 0,
        "docs/b.TXT=2 docs/deep/c.txt=3");
    row("several patterns", five, "a.txt d.log", 0, "a.txt=1 docs/d.log=4 other/a.txt=5");
    row("no match is fine", five, "none.bin", 0, "");
    row("the same name twice", "a.txt=first b.txt=b a.txt=second c.txt=c", "*", 0,
        "a.txt=second b.txt=b c.txt=c");
    row("names differing in letter case", "Doc.txt=1 doc.TXT=2 DOC.txt=3 o.txt=o", "*", 0,
        "DOC.txt=3 Doc.txt=1 doc.TXT=2 o.txt=o");
    row("the same name spelled twice", "d/a.txt=1 d//./a.txt=2 d\\a.txt=3", "*", 0, "d/a.txt=3");
    row("a file, then a folder of that name", "x=file x/y.txt=in z.txt=z", "*", 310,
        "x=file z.txt=z");
    row("a folder, then a file of that name", "x/y.txt=in x=file z.txt=z", "*", 310,
        "x/y.txt=in z.txt=z");
    row("folder members and files below them", "f/= f/a.txt=a f/g/= f/g/b.txt=b f/a.txt=again", "*",
        0, "f/a.txt=again f/g/b.txt=b");
    row("parent step", "../evil.txt=x good.txt=good", "*", 40, "good.txt=good");
    row("through a symlink on disk", "link/evil.txt=x good.txt=good", "*", 40, "good.txt=good");
    row("onto a symlink on disk", "link=x good.txt=good", "*", 40, "good.txt=good");
    row("symlink member", "link:evil=../outside good.txt=good", "*", 40, "good.txt=good");
}

void ZipEngineExtractTest::members() {
    QFETCH(QString, members);
    QFETCH(QString, patterns);
    QFETCH(int, result);
    QFETCH(QString, files);
    QTemporaryDir row;
    const QString archive = row.filePath(u"m.zip"_s);
    QVERIFY(pythonZip(archive, members.split(u' ')));
    for (int threads : {1, 4}) {
        const QString out = row.filePath(u"out%1"_s.arg(threads));
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(row.filePath(u"outside"_s)));
        QVERIFY(QFile::link(row.filePath(u"outside"_s), out + u"/link"_s));
        QCOMPARE(int(extract(archive, out, {}, 0, true, threads, patterns.split(u' '))), result);
        QStringList found = contents(out);
        found.removeOne(u"link="_s);
        QCOMPARE(found.join(u' '), files);
        QVERIFY(QFileInfo(out + u"/link"_s).isSymLink());
        QCOMPARE(filesBelow(row.filePath(u"outside"_s)), QStringList{});
    }
    QCOMPARE(QDir(row.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{u"m.zip"_s, u"out1"_s, u"out4"_s, u"outside"_s}));
}

// Archives of m.bin, extracted over an m.bin on disk (when `existing` is not
// 0: that much newer than the member) that stays unless the member comes out
// whole and the mode lets it. 7-Zip writes AES members as AE-2: CRC 0,
// vouched for by the authentication code alone. Damage: a byte flipped in
// the middle (in the data) or in the code, or the archive spoiled.
void ZipEngineExtractTest::archives_data() {
    QTest::addColumn<QString>("command"); // makes p.zip from m.bin (and ok.txt)
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("files"); // in the extraction folder afterwards
    QTest::addColumn<int>("existing");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("after"); // m.bin holds "ARCHIVE" (the member) or "DISK"
    const auto row = [](const char* name, const QString& command, int size, const QString& password,
                        const char* damage, int result, const char* files = "m.bin",
                        int existing = 100, int mode = 0, bool replace = true,
                        const char* after = nullptr) {
        QTest::newRow(name) << command << size << password << QString::fromUtf8(damage) << result
                            << QString::fromUtf8(files) << existing << mode << replace
                            << QString::fromUtf8(after         ? after
                                                 : result == 0 ? "ARCHIVE"
                                                               : "DISK");
    };
    // Info-ZIP stores exact times; -X leaves them out, DOS times step by 2 s.
    const auto when = [&row](const char* name, int existing, int mode, bool replace,
                             const char* after, bool exact = true) {
        row(name, exact ? u"zip -q p.zip m.bin"_s : u"zip -q -X p.zip m.bin"_s, 100, {}, "", 0,
            *after ? "m.bin" : "", existing, mode, replace, after);
    };
    when("mode 0, newer file, kept", 100, 0, false, "DISK");
    when("mode 0, no file", 0, 0, false, "ARCHIVE");
    when("mode 1, older file", -100, 1, true, "ARCHIVE");
    when("mode 1, older file, kept", -100, 1, false, "DISK");
    when("mode 1, newer file", 100, 1, true, "DISK");
    when("mode 1, no file", 0, 1, true, "");
    when("mode 2, no file", 0, 2, false, "ARCHIVE");
    when("1 s older, exact times", -1, 2, true, "ARCHIVE");
    when("1 s older, DOS times", -1, 2, true, "DISK", false);
    when("2 s older, DOS times", -2, 2, true, "DISK", false);
    when("3 s older, DOS times", -3, 1, true, "ARCHIVE", false);
    const auto aes = [](const char* bits, const char* method) {
        return u"7z a -tzip -mem=AES%1 -mm=%2 -pright p.zip m.bin"_s.arg(QLatin1String(bits),
                                                                         QLatin1String(method));
    };
    const QString trad = u"zip -q -P right p.zip m.bin"_s,
                  plain = u"zip -q -0 p.zip m.bin ok.txt"_s;
    const QString right = u"right"_s, umlaut = u"p\u00e4ss"_s;
    row("AES-256", aes("256", "Deflate"), 65537, right, "", 0);
    row("AES-128", aes("128", "Deflate"), 100, right, "", 0);
    row("AES, empty", aes("256", "Deflate"), 0, right, "", 0);
    row("AES, stored", aes("256", "Copy"), 100, right, "", 0);
    row("AES, 3 MB", aes("256", "Deflate"), 3 << 20, right, "", 0);
    row("AES, an end record cut short after it", aes("256", "Copy"), 100, right, "tail", 0);
    row("AES, wrong password", aes("256", "Deflate"), 100, u"wrong"_s, "", 40);
    row("AES, no password", aes("256", "Deflate"), 100, {}, "", 40);
    row("AES, 3 MB, data flipped", aes("256", "Copy"), 3 << 20, right, "data", 40);
    row("AES, code flipped", aes("256", "Deflate"), 65537, right, "code", 40);
    row("AES, empty, code flipped", aes("256", "Copy"), 0, right, "code", 40);
    row("traditional", trad, 100, right, "", 0);
    row("traditional, wrong password", trad, 100, u"wrong"_s, "", 40);
    row("traditional, UTF-8 password", u"zip -q -P \"$(printf 'p\\303\\244ss')\" p.zip m.bin"_s,
        100, umlaut, "", 0);
    row("traditional, Latin-1 password", u"zip -q -P \"$(printf 'p\\344ss')\" p.zip m.bin"_s, 100,
        umlaut, "", 0);
    row("member with a bad CRC", plain, 200000, {}, "data", 110, "m.bin ok.txt");
    row("not there", plain, 100, {}, "remove", 100);
    row("not a zip", plain, 100, {}, "garbage", 110);
    row("empty file", plain, 100, {}, "empty", 110);
    row("truncated", plain, 200000, {}, "truncate", 110);
    row("no entries", u"python3 -c 'import zipfile; zipfile.ZipFile(\"p.zip\", \"w\")'"_s, 0, {},
        "", 50);
}

void ZipEngineExtractTest::archives() {
    QFETCH(QString, command);
    QFETCH(int, size);
    QFETCH(QString, password);
    QFETCH(QString, damage);
    QFETCH(int, result);
    QFETCH(QString, files);
    QFETCH(int, existing);
    QFETCH(int, mode);
    QFETCH(bool, replace);
    QFETCH(QString, after);
    QTemporaryDir row;
    const QByteArray content = mixedData(size, 17);
    QVERIFY(writeFile(row.filePath(u"m.bin"_s), content));
    QVERIFY(setModified(row.filePath(u"m.bin"_s), kMemberTime));
    QVERIFY(writeFile(row.filePath(u"ok.txt"_s), "fine"));
    QCOMPARE(runTool(u"sh"_s, {u"-c"_s, command}, row.path()).exitCode, 0);
    const QString archive = row.filePath(u"p.zip"_s);
    QByteArray bytes = readFile(archive);
    if (damage == u"data")
        bytes[bytes.size() / 2] ^= 0x01;
    if (damage == u"code") // the code ends the member's data
        bytes[bytes.lastIndexOf("PK\x01\x02") - 1] ^= 0x01;
    if (damage == u"tail") // a signature with no room for the record after it
        bytes += QByteArray("PK\x05\x06\0\0\0", 7);
    if (damage == u"truncate")
        bytes.truncate(bytes.size() * 6 / 10);
    if (damage == u"garbage" || damage == u"empty")
        bytes = damage == u"garbage" ? mixedData(5000, 9) : QByteArray();
    QVERIFY(writeFile(archive, bytes));
    QVERIFY(damage != u"remove" || QFile::remove(archive));
    const QString out = row.filePath(u"out"_s), target = out + u"/m.bin"_s;
    QVERIFY(QDir().mkpath(out));
    QVERIFY(!existing ||
            (writeFile(target, "DISK") && setModified(target, kMemberTime + existing)));
    QCOMPARE(int(extract(archive, out, password, mode, replace)), result);
    QCOMPARE(filesBelow(out).join(u' '), files);
    QVERIFY(!files.contains(u"m.bin") ||
            readFile(target) == (after == u"DISK" ? QByteArray("DISK") : content));
    QVERIFY(after != u"ARCHIVE" || modified(target) == kMemberTime);
}

// A member that cannot be written (a file size limit stands in for a full
// disk) ends the run with 300 whatever the thread count; every member before
// it in the archive is extracted, the file it would replace stays.
void ZipEngineExtractTest::fullDiskStopsLikeOneThread() {
    QTemporaryDir row;
    QStringList args{u"-0"_s, u"in.zip"_s}, before;
    for (const char* prefix : {"a", "big", "z"}) {
        for (int i = 0; i < (*prefix == 'b' ? 1 : 40); ++i) {
            const QString name =
                u"%1%2.txt"_s.arg(QLatin1String(prefix)).arg(i, 2, 10, QChar(u'0'));
            // Large enough to be started first on several threads.
            QVERIFY(writeFile(row.filePath(name),
                              mixedData(*prefix == 'b' ? 5 << 20 : 3000, quint32(i))));
            args.append(name);
            if (*prefix == 'a')
                before.append(name);
        }
    }
    QVERIFY(infoZip(row.path(), args));
    for (int threads : {1, 6}) {
        const QString out = row.filePath(u"out%1"_s.arg(threads));
        QVERIFY(writeFile(out + u"/big00.txt"_s, "DISK"));
        QCOMPARE(underLimit(
                     RLIMIT_FSIZE, 64 * 1024,
                     [&] { return extract(row.filePath(u"in.zip"_s), out, {}, 0, true, threads); }),
                 zipresult::kWriteError);
        const QStringList files = filesBelow(out);
        for (const QString& name : std::as_const(before))
            QVERIFY2(files.contains(name), qPrintable(name));
        QCOMPARE(readFile(out + u"/big00.txt"_s), QByteArray("DISK"));
        QVERIFY(!files.join(u' ').contains(u".tarvik-"_s));
    }
}

QTEST_GUILESS_MAIN(ZipEngineExtractTest)
#include "tst_zipengine_extract.moc"
