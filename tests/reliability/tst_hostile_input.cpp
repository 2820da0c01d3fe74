// Hostile and odd input for the real program in batch mode: archives whose
// members try to leave the extraction folder or expand past the free space,
// file and member names with blanks, line breaks, leading dashes and bytes
// that are not UTF-8, script files that are binary, huge or hold 100,000 keys,
// and settings with absurd ports and missing folders. Each must end in a log
// line or a clear refusal: no crash, no hang, no write outside the folders the
// script names.
#include "ReliabilityFixture.h"
#include "storage/FileLock.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

using namespace reliability;
using namespace tarvik;

namespace {

// One member of an archive the test writes itself.
struct Member {
    QByteArray name;
    QByteArray content;
    quint64 zeros = 0;       // when set: that many zero bytes instead of `content`
    bool symlink = false;    // `content` is the link's target
    bool rawName = false;    // the name's bytes as they are, not flagged UTF-8
    quint32 claimedSize = 0; // when set: the size both headers claim, whatever the data
};

struct ZeroSource {
    quint64 size = 0;
    quint64 position = 0;
};

zip_int64_t serveZeros(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* source = static_cast<ZeroSource*>(user);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->position = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const zip_uint64_t n = std::min<zip_uint64_t>(length, source->size - source->position);
        std::memset(data, 0, n);
        source->position += n;
        return zip_int64_t(n);
    }
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = source->size;
        st->mtime = 1600000000;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        std::memset(data, 0, 2 * sizeof(int));
        return 2 * sizeof(int);
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        return -1;
    }
}

// Overwrites the uncompressed size in the local and central header of each
// member that claims a size of its own (no data descriptors, no ZIP64).
bool claimSizes(const QString& path, const QList<Member>& members) {
    QByteArray bytes = readBytes(path);
    const auto patch = [&](const QByteArray& signature, int lengthAt, int nameAt, int sizeAt) {
        for (qsizetype at = bytes.indexOf(signature); at >= 0;
             at = bytes.indexOf(signature, at + 4)) {
            const auto number = [&](int offset) {
                return quint16(quint8(bytes[at + offset]) | quint8(bytes[at + offset + 1]) << 8);
            };
            const QByteArray name = bytes.mid(at + nameAt, number(lengthAt));
            for (const Member& m : members) {
                if (m.name != name || m.claimedSize == 0)
                    continue;
                for (int i = 0; i < 4; ++i)
                    bytes[at + sizeAt + i] = char(m.claimedSize >> (8 * i));
            }
        }
    };
    patch(QByteArray("PK\x03\x04", 4), 26, 30, 22);
    patch(QByteArray("PK\x01\x02", 4), 28, 46, 24);
    return writeBytes(path, bytes);
}

bool writeArchive(const QString& path, const QList<Member>& members) {
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    std::vector<std::unique_ptr<ZeroSource>> zeros;
    for (const Member& m : members) {
        zip_source_t* source = nullptr;
        if (m.zeros > 0) {
            zeros.push_back(std::make_unique<ZeroSource>(ZeroSource{m.zeros, 0}));
            source = zip_source_function(z, serveZeros, zeros.back().get());
        } else {
            source = zip_source_buffer(z, m.content.constData(), zip_uint64_t(m.content.size()), 0);
        }
        const zip_int64_t index = zip_file_add(z, m.name.constData(), source,
                                               m.rawName ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(z);
            return false;
        }
        if (m.symlink)
            zip_file_set_external_attributes(z, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(0120777u) << 16);
        else if (m.rawName) // as from DOS or Windows: names are code page 437
            zip_file_set_external_attributes(z, zip_uint64_t(index), 0, ZIP_OPSYS_DOS, 0);
    }
    if (zip_close(z) != 0)
        return false;
    return std::none_of(members.begin(), members.end(),
                        [](const Member& m) { return m.claimedSize != 0; }) ||
           claimSizes(path, members);
}

// Paths that changed between two snapshots and lie outside every allowed
// prefix. The lock file of the script folder is allowed: runs stamp their
// scripts under it.
QStringList changedOutside(const QMap<QString, QByteArray>& before,
                           const QMap<QString, QByteArray>& after, QStringList allowed) {
    allowed.append(u"run/scripts/"_s + QLatin1String(FileLock::kFolderLockName));
    QStringList paths = before.keys() + after.keys();
    paths.removeDuplicates();
    QStringList changed;
    for (const QString& path : std::as_const(paths)) {
        if (before.value(path) == after.value(path))
            continue;
        const bool inside = std::any_of(allowed.begin(), allowed.end(), [&](const QString& a) {
            return path == a || path.startsWith(a + u'/');
        });
        if (!inside)
            changed.append(path);
    }
    return changed;
}

const QByteArray kGood = "good member";

} // namespace

Q_DECLARE_METATYPE(Member)

class HostileInputTest : public QObject {
    Q_OBJECT
private slots:
    void hostileArchives_data();
    void hostileArchives();
    void zipBomb_data();
    void zipBomb();
    void unknownEncryption();
    void oddSourceNames();
    void hostileScripts_data();
    void hostileScripts();
    void hostileSettings_data();
    void hostileSettings();
    void anotherUsersLock_data();
    void anotherUsersLock();

private:
    void writeUnzipScript(ProgramFolder& pf);
};

void HostileInputTest::writeUnzipScript(ProgramFolder& pf) {
    pf.writeScript(u"in.usc"_s, {{u"ZipFile"_s, pf.path(u"src/in"_s)},
                                 {u"File1"_s, u"*"_s},
                                 {u"Dir1"_s, pf.path(u"out/x"_s)},
                                 {u"Overwrite"_s, u"Yes"_s}});
}

// Each archive holds good.txt and one odd member; the run extracts into out/x.
// `files` lists what out/x holds afterwards (besides good.txt).
void HostileInputTest::hostileArchives_data() {
    QTest::addColumn<QList<Member>>("odd");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("files");
    const QString skipped = u"skipped"_s;
    const auto file = [](const QByteArray& name) { return QList<Member>{{name, "odd member"}}; };
    QTest::newRow("parent step") << file("../evil.txt") << 2 << QStringList();
    QTest::newRow("parent steps inside a path") << file("a/../../evil.txt") << 2 << QStringList();
    QTest::newRow("backslash parent steps") << file("a\\..\\..\\evil.txt") << 2 << QStringList();
    QTest::newRow("absolute path") << file("@/outside/evil.txt") << 2 << QStringList();
    QTest::newRow("drive letter") << file("C:/evil.txt") << 2 << QStringList();
    QTest::newRow("symlink member")
        << QList<Member>{{"link", "../../outside", 0, true}} << 2 << QStringList();
    QTest::newRow("symlink member, then a file through it")
        << QList<Member>{{"link", "../../outside", 0, true}, {"link/evil.txt", "odd member"}} << 2
        << QStringList{u"link/evil.txt"_s};
    QTest::newRow("blanks") << file(" a b .txt") << 0 << QStringList{u" a b .txt"_s};
    QTest::newRow("line break") << file("line\nbreak.txt") << 0
                                << QStringList{u"line\nbreak.txt"_s};
    QTest::newRow("leading dashes")
        << file("-rf") + file("--help") << 0 << QStringList{u"--help"_s, u"-rf"_s};
    QTest::newRow("bytes that are not UTF-8 from DOS, read as code page 437")
        << QList<Member>{{"caf\xe9.txt", "odd member", 0, false, true}} << 0
        << QStringList{u"caf\u0398.txt"_s};
    QTest::newRow("a name longer than the file system takes")
        << file(QByteArray(300, 'n')) << 2 << QStringList();
}

void HostileInputTest::hostileArchives() {
    QFETCH(QList<Member>, odd);
    QFETCH(int, exitCode);
    QFETCH(QStringList, files);
    ProgramFolder pf;
    QVERIFY(QDir().mkpath(pf.path(u"outside"_s)));
    for (Member& m : odd)
        m.name.replace("@", QFile::encodeName(pf.runFolder()));
    QVERIFY(writeArchive(pf.path(u"src/in.zip"_s), QList<Member>{{"good.txt", kGood}} + odd));
    writeUnzipScript(pf);
    const auto before = snapshot(pf.scratch(QString()));

    const BatchResult r = pf.run({u"in.usc"_s});
    QCOMPARE(r.exitCode, exitCode);
    if (exitCode == 2)
        QVERIFY2(pf.logText().contains(u"  Aborted due to error "_s), qPrintable(pf.logText()));
    else
        QVERIFY2(!QFile::exists(pf.logFile()), qPrintable(pf.logText()));

    QStringList expected = files + QStringList{u"good.txt"_s};
    expected.sort();
    QCOMPARE(filesNamed(pf.path(u"out/x"_s), QString()), expected);
    QCOMPARE(readBytes(pf.path(u"out/x/good.txt"_s)), kGood);
    for (const QString& name : files)
        QCOMPARE(readBytes(pf.path(u"out/x/"_s + name)), QByteArray("odd member"));
    QCOMPARE(changedOutside(before, snapshot(pf.scratch(QString())),
                            {u"run/out/x"_s, u"run/log"_s, u"run/scripts/in.usc"_s}),
             QStringList());
}

// A small archive that would expand far past the free space. The shim makes
// the run's file system look 32 MiB free (and fail writes beyond that); the
// extraction must stop well before the disk is full, with a write error (or
// a damaged-archive error when a member holds more than it claims).
void HostileInputTest::zipBomb_data() {
    QTest::addColumn<QList<Member>>("members");
    QTest::addColumn<int>("result");
    QTest::newRow("one member of 256 MiB of zeros")
        << QList<Member>{{"zeros.bin", {}, 256ull << 20}} << 300;
    QList<Member> many;
    for (int i = 0; i < 64; ++i)
        many.append({"zeros" + QByteArray::number(i) + ".bin", {}, 4ull << 20});
    QTest::newRow("64 members of 4 MiB of zeros") << many << 300;
    // The headers claim a few bytes; the data inflates to 256 MiB.
    QTest::newRow("one member of 256 MiB that claims 1000 bytes")
        << QList<Member>{{"liar.bin", {}, 256ull << 20, false, false, 1000}} << 110;
}

void HostileInputTest::zipBomb() {
    QFETCH(QList<Member>, members);
    QFETCH(int, result);
    ProgramFolder pf;
    QVERIFY(writeArchive(pf.path(u"src/in.zip"_s), members));
    QVERIFY(QFileInfo(pf.path(u"src/in.zip"_s)).size() < (1 << 20));
    writeUnzipScript(pf);
    constexpr qint64 kFree = 32ll << 20;
    QProcessEnvironment env = pf.environment();
    preloadFaultShim(env, QStringLiteral(TARVIK_FAULT_SHIM));
    env.insert(u"TARVIK_FAULT_UNDER"_s, pf.runFolder());
    env.insert(u"TARVIK_FAULT_FREE"_s, QString::number(kFree));
    env.insert(u"TARVIK_FAULT_REPORT"_s, pf.scratch(u"shim-report"_s));

    const BatchResult r = pf.run({u"in.usc"_s}, env);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(pf.logText().contains(u"  Aborted due to error %1 : "_s.arg(result)),
             qPrintable(pf.logText()));
    // Whatever was written is whole; nothing half-written stays behind.
    for (const QString& name : filesNamed(pf.path(u"out/x"_s), QString())) {
        QVERIFY2(!name.startsWith(u".tarvik-"_s), qPrintable(name));
        const auto m = std::find_if(members.begin(), members.end(),
                                    [&](const Member& x) { return x.name == name.toUtf8(); });
        QVERIFY(m != members.end());
        QCOMPARE(QFileInfo(pf.path(u"out/x/"_s + name)).size(), qint64(m->zeros));
    }
    const QString report = QString::fromUtf8(readBytes(pf.scratch(u"shim-report"_s)));
    const qint64 written = report.section(u"written "_s, 1).section(u'\n', 0, 0).toLongLong();
    QVERIFY(report.contains(u"written "_s));
    QVERIFY2(written <= kFree - kFree / 16,
             qPrintable(u"wrote %1 of %2 free bytes"_s.arg(written).arg(kFree)));
}

// A member flagged with an encryption method nobody knows (0xffff), as a
// fuzzer made it: skipped like any member that cannot be read. libzip 1.7.3
// leaks memory when asked to open such a member, which a sanitized build
// reports at exit, so the extractor checks the method first.
void HostileInputTest::unknownEncryption() {
    ProgramFolder pf;
    const QByteArray archive = QByteArray::fromBase64(
        "UEsDBAoAAAAAALxNhl0gMDo2BgAAAAYAAAAHABwAZC9hLnR4dFVUCQAD1C4Va9QuFWt1eAsAAQQAAAAABAAAAABo"
        "ZWxsbwpQSwEC5/z1//////+8TYZdIDA6NgYAAAAGAAAABwAYAAAAAAAAAAAApIEAAAAAZC9hLnR4dFVUBQAD1C4V"
        "a3V4CwABBAAAAAAEAAAAAFBLBQYAAAAAAQABAE0AAABHAAAAAAA=");
    QVERIFY(writeBytes(pf.path(u"src/in.zip"_s), archive));
    writeUnzipScript(pf);
    QVERIFY(WriteIni(u"Options"_s, u"Password"_s, u"ncl\x7frg"_s, pf.script(u"in.usc"_s)));
    const BatchResult r = pf.run({u"in.usc"_s});
    QVERIFY2(pf.logText().contains(u"  Aborted due to error 40 : "_s), qPrintable(pf.logText()));
    QCOMPARE(filesNamed(pf.path(u"out/x"_s), QString()), QStringList());
    QCOMPARE(r.exitCode, 2);
}

// A zip script over files with odd names, all marked for deletion.
void HostileInputTest::oddSourceNames() {
    ProgramFolder pf;
    const QList<QByteArray> utf8Names{" lead.txt",       "trail.txt ", "a b.txt",
                                      "line\nbreak.txt", "-rf",        "--help",
                                      "caf\xc3\xa9.txt"};
    const QList<QByteArray> rawNames{"caf\xe9.txt", "\xff\xfe.bin"};
    const QByteArray folder = QFile::encodeName(pf.path(u"src/odd"_s));
    QVERIFY(QDir().mkpath(pf.path(u"src/odd"_s)));
    QMap<QString, QByteArray> expected;
    for (const QByteArray& name : utf8Names + rawNames) {
        QFile f;
        const int fd = ::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0 && f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        f.write("content of " + name);
        f.close();
        expected.insert(QFile::decodeName(name), "content of " + name);
    }
    QVERIFY(QDir().mkpath(pf.path(u"out"_s)));
    pf.writeScript(u"odd.zsc"_s, {{u"File1"_s, u"X,"_s + pf.path(u"src/odd/*"_s)},
                                  {u"Dir1"_s, pf.path(u"out"_s)},
                                  {u"ZipFile"_s, u"-odd name"_s}});
    const BatchResult r = pf.run({u"odd.zsc"_s});
    QVERIFY2(r.exitCode == 0, qPrintable(pf.logText()));
    const QString archive = pf.path(u"out/-odd name.zip"_s);
    QVERIFY(archiveTestsGood(archive));
    // Names that are not UTF-8 are stored as their bytes (read here as UTF-8,
    // so with replacement characters).
    QCOMPARE(zipContents(archive), expected);
    // Every file went in under its own name, so every one is deleted.
    struct stat st {};
    for (const QByteArray& name : utf8Names + rawNames)
        QVERIFY2(::lstat((folder + '/' + name).constData(), &st) != 0, name.toHex().constData());
}

// Script files nobody should write, run by name (list mode).
void HostileInputTest::hostileScripts_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("untouched"); // the script file keeps every byte
    const QString noSpecs = u"  Aborted : No file specs in script file to process."_s;
    QTest::newRow("binary bytes") << u"binary"_s << u"x.zsc"_s << 2 << noSpecs << false;
    QTest::newRow("UTF-16 text") << u"utf16"_s << u"x.zsc"_s << 2 << noSpecs << false;
    QTest::newRow("50 MB long") << u"huge"_s << u"x.zsc"_s << 2
                                << u"  Aborted : Unable to read script file. Error 27 : "_s << true;
    QTest::newRow("a value of 1 MB")
        << u"long value"_s << u"x.zsc"_s << 2 << u"  Aborted due to error 50 : "_s << false;
    QTest::newRow("a NUL inside a value")
        << u"nul"_s << u"x.zsc"_s << 2 << u"  Aborted : Unable to process file specs. "_s << false;
    QTest::newRow("100,000 file specs") << u"many specs"_s << u"x.zsc"_s << 0 << QString() << false;
    QTest::newRow("100,000 member specs")
        << u"many members"_s << u"x.usc"_s << 0 << QString() << false;
    QTest::newRow("100,000 e-mail addresses")
        << u"many addresses"_s << u"x.zsc"_s << 0 << QString() << false;
    QTest::newRow("a FIFO") << u"fifo"_s << u"x.zsc"_s << 1 << u"  Script file does not exist."_s
                            << true;
    QTest::newRow("a link to /dev/zero")
        << u"device"_s << u"x.usc"_s << 1 << u"  Script file does not exist."_s << true;
    QTest::newRow("a folder") << u"folder"_s << u"x.zsc"_s << 1
                              << u"  Script file does not exist."_s << true;
}

void HostileInputTest::hostileScripts() {
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(int, exitCode);
    QFETCH(QString, logLine);
    QFETCH(bool, untouched);
    ProgramFolder pf;
    const QString script = pf.script(name);
    QMap<QString, QByteArray> sources;
    for (int i = 0; i < 20; ++i)
        sources.insert(u"f%1.txt"_s.arg(i), "source " + QByteArray::number(i));
    for (auto it = sources.begin(); it != sources.end(); ++it)
        QVERIFY(writeBytes(pf.path(u"src/"_s + it.key()), it.value()));
    QVERIFY(QDir().mkpath(pf.path(u"out"_s)));
    QVERIFY(writeArchive(pf.path(u"src/in.zip"_s), {{"good.txt", kGood}}));
    const QByteArray tail = (u"Dir1="_s + pf.path(u"out"_s) + u"\r\nZipFile=x\r\n"_s).toUtf8();
    QByteArray text = "[Options]\r\n";
    if (kind == u"binary") {
        text = sampleNoise(64 * 1024, 7);
    } else if (kind == u"utf16") {
        const QString t = u"\uFEFF[Options]\r\nFile1="_s + pf.path(u"src/*"_s) + u"\r\n"_s +
                          QString::fromUtf8(tail);
        text = QByteArray(reinterpret_cast<const char*>(t.utf16()), t.size() * 2);
    } else if (kind == u"huge") {
        text += "File1=" + QFile::encodeName(pf.path(u"src/*"_s)) + "\r\n" + tail;
        text += QByteArray("Filler=0123456789abcdef\r\n").repeated(2'000'000); // 50 MB
    } else if (kind == u"long value") {
        text += "File1=" + QFile::encodeName(pf.path(u"src/"_s)) + QByteArray(1 << 20, 'v') +
                "\r\n" + tail;
    } else if (kind == u"nul") {
        text += "File1=" + QFile::encodeName(pf.path(u"src/*"_s)) + QByteArray(1, '\0') + "x\r\n" +
                tail;
    } else if (kind == u"many specs" || kind == u"many addresses") {
        for (int i = 1; i <= 100'000; ++i) {
            if (kind == u"many specs")
                text += "File" + QByteArray::number(i) + '=' +
                        QFile::encodeName(pf.path(u"src/f%1.txt"_s.arg(i % 20))) + "\r\n";
            else
                text += "EmailAddress" + QByteArray::number(i) + "=user" + QByteArray::number(i) +
                        "@example.invalid\r\n";
        }
        if (kind == u"many addresses")
            text +=
                "File1=" + QFile::encodeName(pf.path(u"src/f*.txt"_s)) + "\r\nAttachment=Yes\r\n";
        text += tail;
    } else if (kind == u"many members") {
        for (int i = 1; i <= 100'000; ++i)
            text += "File" + QByteArray::number(i) + "=nothing" + QByteArray::number(i) + ".*\r\n";
        text += "File100001=*.txt\r\nZipFile=" + QFile::encodeName(pf.path(u"src/in"_s)) +
                "\r\nDir1=" + QFile::encodeName(pf.path(u"out/x"_s)) + "\r\n";
    }
    if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(script).constData(), 0600), 0);
    else if (kind == u"device")
        QVERIFY(QFile::link(u"/dev/zero"_s, script));
    else if (kind == u"folder")
        QVERIFY(QDir().mkpath(script));
    else
        QVERIFY(writeBytes(script, text));
    const auto before = snapshot(pf.scratch(QString()));

    const BatchResult r = pf.run({name});
    QVERIFY2(r.exitCode == exitCode, qPrintable(u"%1: %2"_s.arg(r.exitCode).arg(pf.logText())));
    if (logLine.isEmpty())
        QVERIFY2(!QFile::exists(pf.logFile()), qPrintable(pf.logText()));
    else
        QVERIFY2(pf.logText().contains(script + logLine), qPrintable(pf.logText()));
    const auto after = snapshot(pf.scratch(QString()));
    if (untouched)
        QCOMPARE(after.value(u"run/scripts/"_s + name), before.value(u"run/scripts/"_s + name));
    QCOMPARE(changedOutside(before, after,
                            {u"run/out"_s, u"run/log"_s, u"run/tmp"_s, u"run/scripts/"_s + name}),
             QStringList());
    if (exitCode == 0 && name.endsWith(u".zsc"_s))
        QCOMPARE(zipContents(pf.path(u"out/x.zip"_s)), sources);
    if (exitCode == 0 && name.endsWith(u".usc"_s))
        QCOMPARE(readBytes(pf.path(u"out/x/good.txt"_s)), kGood);
    // A script that can be read keeps every key and gains its run's stamp.
    if (kind.startsWith(u"many"_s))
        QVERIFY(ReadIni(u"Options"_s, u"File100000"_s, {}, script).size() > 0 ||
                ReadIni(u"Options"_s, u"EmailAddress100000"_s, {}, script).size() > 0);
}

// Settings a hand edit or an old version could leave behind.
void HostileInputTest::hostileSettings_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("script"); // the one the batch runs
    QTest::addColumn<int>("exitCode");
    const QString good = u"good.zsc"_s;
    for (const char* port : {"99999999999999999999", "-1", "0x19", ""})
        QTest::addRow("mail port \"%s\"", port)
            << u"port"_s << QString::fromLatin1(port) << good << 0;
    QTest::newRow("mail port of 100,000 digits")
        << u"port"_s << QString(100'000, u'9') << good << 0;
    QTest::newRow("script folder missing") << u"script folder"_s << u"missing"_s << good << 1;
    QTest::newRow("script folder is a file") << u"script folder"_s << u"src/a.txt"_s << good << 1;
    QTest::newRow("error folder missing")
        << u"error folder"_s << u"missing/log"_s << u"bad.zsc"_s << 2;
    QTest::newRow("settings file is a FIFO") << u"settings fifo"_s << QString() << u"-a"_s << 0;
    QTest::newRow("settings file links to /dev/zero")
        << u"settings device"_s << QString() << u"-a"_s << 0;
    QTest::newRow("settings file of 50 MB") << u"settings huge"_s << QString() << u"-a"_s << 0;
    QTest::newRow("run log is a FIFO nobody reads")
        << u"log fifo"_s << QString() << u"bad.zsc"_s << 2;
    QTest::newRow("run log links to /dev/null") << u"log null"_s << QString() << good << 0;
    QTest::newRow("run log links to a file, started afresh")
        << u"log link"_s << QString() << u"bad.zsc"_s << 2;
    QTest::newRow("temporary folder is a symbolic link") << u"tmp link"_s << QString() << good << 2;
}

void HostileInputTest::hostileSettings() {
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(QString, script);
    QFETCH(int, exitCode);
    ProgramFolder pf;
    QVERIFY(writeBytes(pf.path(u"src/a.txt"_s), "payload"));
    QVERIFY(QDir().mkpath(pf.path(u"out"_s)));
    pf.writeScript(u"good.zsc"_s, {{u"File1"_s, pf.path(u"src/a.txt"_s)},
                                   {u"Dir1"_s, pf.path(u"out"_s)},
                                   {u"ZipFile"_s, u"good"_s},
                                   {u"Attachment"_s, u"Yes"_s},
                                   {u"EmailAddress1"_s, u"nobody@example.invalid"_s}});
    pf.writeScript(u"bad.zsc"_s, {{u"File1"_s, pf.path(u"src/a.txt"_s)}});
    const QString ini = pf.settingsFile();
    QProcessEnvironment env = pf.environment();
    if (kind == u"port") {
        QVERIFY(WriteIni(u"Options"_s, u"MailServer"_s, u"127.0.0.1"_s, ini));
        QVERIFY(writeBytes(ini, readBytes(ini) + "MailServerPort=" + value.toUtf8() + "\r\n"));
    } else if (kind == u"script folder") {
        QVERIFY(WriteIni(u"Options"_s, u"ScriptFilePath"_s, pf.path(value), ini));
    } else if (kind == u"error folder") {
        QVERIFY(WriteIni(u"Options"_s, u"ErrorFilePath"_s, pf.path(value), ini));
    } else if (kind.startsWith(u"settings"_s)) {
        QVERIFY(QFile::remove(ini));
        if (kind == u"settings fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
        else if (kind == u"settings device")
            QVERIFY(QFile::link(u"/dev/zero"_s, ini));
        else
            QVERIFY(writeBytes(
                ini, "[Options]\r\nScriptFilePath=" + QFile::encodeName(pf.path(u"scripts"_s)) +
                         "\r\n" + QByteArray("Filler=0123456789abcdef\r\n").repeated(2'000'000)));
    } else if (kind == u"log fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(pf.logFile()).constData(), 0600), 0);
    } else if (kind == u"log null") {
        QVERIFY(QFile::link(u"/dev/null"_s, pf.logFile()));
    } else if (kind == u"log link") {
        QVERIFY(WriteIni(u"Options"_s, u"NewErrorFile"_s, u"Yes"_s, ini));
        QVERIFY(QFile::link(pf.path(u"src/a.txt"_s), pf.logFile()));
    } else if (kind == u"tmp link") {
        // Someone else's link where the private folder belongs.
        QVERIFY(QDir().mkpath(pf.path(u"elsewhere"_s)));
        QVERIFY(QFile::link(pf.path(u"elsewhere"_s), pf.tempFolder()));
    }
    const auto before = snapshot(pf.scratch(QString()));

    const BatchResult r = pf.run({script}, env);
    QVERIFY2(r.exitCode == exitCode, qPrintable(u"%1: %2"_s.arg(r.exitCode).arg(pf.logText())));
    const auto after = snapshot(pf.scratch(QString()));
    QStringList allowed{u"run/out"_s, u"run/log"_s, u"run/tmp"_s, u"run/scripts/"_s + script};
    QCOMPARE(changedOutside(before, after, allowed), QStringList());

    if (kind == u"port" || kind == u"log null") {
        QVERIFY(archiveTestsGood(pf.path(u"out/good.zip"_s)));
    }
    if (kind == u"script folder")
        QVERIFY(pf.logText().contains(u"  Script file does not exist."_s));
    if (kind == u"error folder")
        QVERIFY(!QFile::exists(pf.path(value)));
    if (kind.startsWith(u"log"_s))
        QCOMPARE(after.value(u"run/log/errors.txt"_s), before.value(u"run/log/errors.txt"_s));
    if (kind == u"log link") // the link is refused aloud; its target stays (checked above)
        QVERIFY2(r.output.contains(pf.logFile()), qPrintable(r.output));
    if (kind == u"tmp link") {
        QVERIFY(pf.logText().contains(u"  Aborted : Unable to create directory "_s +
                                      pf.tempFolder() + u". Error 40 : "_s));
        QCOMPARE(filesNamed(pf.path(u"elsewhere"_s), QString()), QStringList());
    }
    if (kind.startsWith(u"settings"_s)) // the defaults: scripts beside the program, none there
        QVERIFY(!ReadIni(u"Options"_s, u"LastRun"_s, {}, pf.script(u"good.zsc"_s)).size());
}

// Another user locks what runs of ours share, the run log (readable by all,
// as older versions left it) or the script folder: no run waits for them,
// and each still records its result in the script and its lines in the log.
void HostileInputTest::anotherUsersLock_data() {
    QTest::addColumn<QString>("locked");
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("the run log, a finished run") << u"log/errors.txt"_s << u"good.zsc"_s << 0;
    QTest::newRow("the run log, an aborted run") << u"log/errors.txt"_s << u"bad.zsc"_s << 2;
    QTest::newRow("the script folder, a finished run") << u"scripts"_s << u"good.zsc"_s << 0;
    QTest::newRow("the script folder, an aborted run") << u"scripts"_s << u"bad.zsc"_s << 2;
}

void HostileInputTest::anotherUsersLock() {
    QFETCH(QString, locked);
    QFETCH(QString, script);
    QFETCH(int, exitCode);
    if (::geteuid() != 0)
        QSKIP("needs root to run a second user (setpriv)");
    ProgramFolder pf;
    QVERIFY(writeBytes(pf.path(u"src/a.txt"_s), "payload"));
    pf.writeScript(u"good.zsc"_s, {{u"File1"_s, pf.path(u"src/a.txt"_s)},
                                   {u"Dir1"_s, pf.path(u"out"_s)},
                                   {u"ZipFile"_s, u"good"_s}});
    pf.writeScript(u"bad.zsc"_s, {{u"File1"_s, pf.path(u"src/a.txt"_s)}});
    QVERIFY(writeBytes(pf.logFile(), "old line\r\n"));
    for (const QString& p : {pf.scratch(QString()), pf.runFolder(), pf.path(u"scripts"_s),
                             pf.path(u"log"_s), pf.logFile()})
        QCOMPARE(::chmod(QFile::encodeName(p).constData(), p == pf.logFile() ? 0644 : 0755), 0);
    QProcess holder;
    holder.start(u"setpriv"_s,
                 {u"--reuid=4242"_s, u"--regid=4242"_s, u"--clear-groups"_s, u"flock"_s, u"-x"_s,
                  pf.path(locked), u"-c"_s, u"echo locked; exec cat"_s});
    QVERIFY(holder.waitForReadyRead(30000));
    QCOMPARE(holder.readAllStandardOutput(), QByteArray("locked\n"));

    QProcess run;
    pf.start(run, {script}, pf.environment());
    const bool ended = run.waitForFinished(60000); // a guard against a hang
    if (!ended)
        run.kill();
    run.waitForFinished();
    holder.closeWriteChannel(); // cat ends, and with it the lock
    QVERIFY(holder.waitForFinished());
    QVERIFY2(ended, "the run waited for another user's lock");
    QCOMPARE(run.exitCode(), exitCode);
    const auto values = scriptValues(pf.script(script), {u"LastRun"_s, u"Error"_s});
    QVERIFY(values);
    QVERIFY(values->value(u"LastRun"_s) != u"<missing>"_s);
    QCOMPARE(values->value(u"Error"_s), exitCode == 2 ? u"X"_s : u"<missing>"_s);
    const QStringList lines = pf.logText().split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), exitCode == 2 ? 2 : 1);
    QCOMPARE(lines.first(), u"old line"_s);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(pf.logFile()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600)); // others can no longer open it
}

QTEST_GUILESS_MAIN(HostileInputTest)
#include "tst_hostile_input.moc"
