// Hostile input for the real program in batch mode: odd member and file
// names; archives that expand past the free space, lie about sizes or use an
// unknown encryption; script, settings and log files that are huge, special
// files or links, or locked by another user. Each must end in its log line or
// a clear refusal: no crash, no hang, no write outside the folders the script
// names. (Members that leave the extraction folder: tests/archive.)
#include "ProgramFolder.h"
#include "storage/FileLock.h"

#include <QtEndian>
#include <sys/stat.h>

using namespace tarvik;

namespace {

struct Member {
    QByteArray name, content = "odd";
    qint64 zeros = 0;        // when set: that many zero bytes instead of `content`
    QString dos = {};        // when set: the name's bytes are from DOS, read as code page 437
    quint32 claimedSize = 0; // when set: the size the headers claim, whatever the data
};
using Members = QList<Member>;

} // namespace

Q_DECLARE_METATYPE(Member)

namespace {

bool writeArchive(const ProgramFolder& pf, const Members& members) {
    const QString path = pf.at(u"src/in.zip"_s);
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (const Member& m : members) {
        QFile zeros(pf.scratch(u"zeros%1"_s.arg(m.zeros))); // sparse: takes no room
        if (m.zeros && !(zeros.open(QIODevice::WriteOnly) && zeros.resize(m.zeros)))
            return false;
        zip_source_t* s =
            m.zeros ? zip_source_file(z, QFile::encodeName(zeros.fileName()).constData(), 0, 0)
                    : zip_source_buffer(z, m.content.constData(), m.content.size(), 0);
        const zip_int64_t i = zip_file_add(z, m.name.constData(), s,
                                           m.dos.isEmpty() ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_RAW);
        if (i < 0 ||
            (!m.dos.isEmpty() && zip_file_set_external_attributes(z, i, 0, ZIP_OPSYS_DOS, 0)))
            return false;
    }
    QByteArray bytes = zip_close(z) == 0 ? readFile(path) : QByteArray();
    for (const Member& m : members) // one member: its size in the local and central header
        for (const auto& [signature, at] : {std::pair{"PK\3\4", 22}, {"PK\1\2", 24}})
            if (m.claimedSize)
                qToLittleEndian(m.claimedSize, bytes.data() + bytes.indexOf(signature) + at);
    return !bytes.isEmpty() && writeFile(path, bytes);
}

// The entries below the program folder but those starting with one of
// `allowed` (or the script folder's lock, under which runs stamp scripts),
// each with its link target, or its size and time: what a run leaves alone.
QStringList outside(const ProgramFolder& pf, QStringList allowed) {
    allowed << u"run/scripts/"_s + QLatin1String(FileLock::kFolderLockName);
    QStringList entries;
    QDirIterator it(pf.scratch({}),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo i = it.nextFileInfo();
        const QString path = QDir(pf.scratch({})).relativeFilePath(i.filePath());
        if (std::none_of(allowed.begin(), allowed.end(),
                         [&](const QString& a) { return path.startsWith(a); }))
            entries << path + u' ' +
                           (i.isSymLink() ? i.symLinkTarget()
                            : i.isDir()   ? QString()
                                          : u"%1 %2"_s.arg(i.size()).arg(
                                                i.lastModified().toMSecsSinceEpoch()));
    }
    entries.sort();
    return entries;
}

} // namespace

class HostileInputTest : public QObject {
    Q_OBJECT
private slots:
    void archives_data();
    void archives();
    void oddSourceNames();
    void files_data();
    void files();
};

// Each archive holds good.txt and odd members; the run extracts into out/x,
// on a file system the shim makes look 32 MiB free (failing writes beyond).
void HostileInputTest::archives_data() {
    QTest::addColumn<Members>("odd");
    QTest::addColumn<int>("result"); // in the log's abort line; 0: none, the run finishes
    QTest::newRow("blanks, line break, leading dashes")
        << Members{{" a b .txt"}, {"line\nbreak"}, {"-rf"}, {"--help"}} << 0;
    QTest::newRow("bytes from DOS") << Members{{"caf\xe9.txt", "odd", 0, u"caf\u0398.txt"_s}} << 0;
    QTest::newRow("a name longer than the file system takes")
        << Members{{QByteArray(300, 'n')}} << 310;
    // A member flagged with an encryption method nobody knows (0xffff), as a
    // fuzzer made it: skipped like any member that cannot be read. (libzip
    // 1.7.3 leaks when asked to open one, which a sanitized build reports.)
    QTest::newRow("unknown encryption method, the archive in base 64")
        << Members{{"=UEsDBAoAAAAAALxNhl0gMDo2BgAAAAYAAAAHABwAZC9hLnR4dFVUCQAD1C4Va9QuFWt1eAsAAQQAA"
                    "AAABAAAAABoZWxsbwpQSwEC5/z1//////+8TYZdIDA6NgYAAAAGAAAABwAYAAAAAAAAAAAApIEAA"
                    "AAAZC9hLnR4dFVUBQAD1C4Va3V4CwABBAAAAAAEAAAAAFBLBQYAAAAAAQABAE0AAABHAAAAAAA="}}
        << 40;
    // Small archives that would expand far past the free space: the run stops
    // well before the disk is full, and what it wrote is whole.
    QTest::newRow("one member of 256 MiB of zeros") << Members{{"zeros.bin", {}, 256 << 20}} << 300;
    Members many;
    for (int i = 0; i < 64; ++i)
        many.append({"zeros" + QByteArray::number(i), {}, 4 << 20});
    QTest::newRow("64 members of 4 MiB of zeros") << many << 300;
    QTest::newRow("one member of 256 MiB that claims 1000 bytes")
        << Members{{"liar.bin", {}, 256 << 20, {}, 1000}} << 110;
}

void HostileInputTest::archives() {
    QFETCH(Members, odd);
    QFETCH(int, result);
    ProgramFolder pf;
    if (odd[0].name.startsWith('='))
        QVERIFY(
            writeFile(pf.at(u"src/in.zip"_s), QByteArray::fromBase64(odd.takeFirst().name.mid(1))));
    else
        QVERIFY(writeArchive(pf, odd = Members{{"good.txt", "good"}} + odd));
    QVERIFY(QFileInfo(pf.at(u"src/in.zip"_s)).size() < (1 << 20));
    pf.writeScript(u"in.usc"_s, u"ZipFile=@/src/in\nFile1=*\nDir1=@/out/x\nOverwrite=Yes"_s);
    QVERIFY(WriteIni(u"Options"_s, u"Password"_s, u"ncl\x7frg"_s, pf.script(u"in.usc"_s)));
    const QStringList allowed{u"run/out/x"_s, u"run/log"_s, u"run/scripts/in.usc"_s, u"shim"_s};
    const QStringList before = outside(pf, allowed);
    constexpr qint64 kFree = 32 << 20;
    const int code = pf.run({u"in.usc"_s}, pf.shimEnv({{u"FREE"_s, QString::number(kFree)}})).code;
    QCOMPARE(outside(pf, allowed), before);
    QCOMPARE(code, result ? 2 : 0);
    QVERIFY2(result ? pf.logText().contains(u"  Aborted due to error %1 : "_s.arg(result))
                    : !QFile::exists(pf.log()),
             qPrintable(pf.logText()));
    // Each file out is a whole member; all of them are out when the run finishes.
    const QStringList out = filesBelow(pf.at(u"out/x"_s));
    for (const QString& name : out) {
        const auto m = std::find_if(odd.begin(), odd.end(), [&](const Member& m) {
            return m.dos.isEmpty() ? m.name == name.toUtf8() : m.dos == name;
        });
        QVERIFY2(m != odd.end() &&
                     (m->zeros ? QFileInfo(pf.at(u"out/x/"_s + name)).size() == m->zeros
                               : readFile(pf.at(u"out/x/"_s + name)) == m->content),
                 qPrintable(name));
    }
    QVERIFY(result || out.size() == odd.size());
    const QString report = QString::fromUtf8(readFile(pf.scratch(u"shim"_s)));
    QVERIFY2(report.section(u"written "_s, 1).toLongLong() <= kFree - kFree / 16,
             qPrintable(report));
}

// A zip script over files with odd names, all marked for deletion.
void HostileInputTest::oddSourceNames() {
    ProgramFolder pf;
    Files expected;
    for (const QByteArray name : {" lead.txt", "trail.txt ", "a b.txt", "line\nbreak.txt", "-rf",
                                  "--help", "caf\xc3\xa9.txt", "caf\xe9.txt", "\xff\xfe.bin"}) {
        QVERIFY(writeFile(pf.at(u"src/odd/"_s + QFile::decodeName(name)), "content of " + name));
        expected.insert(QString::fromUtf8(name), "content of " + name);
    }
    pf.writeScript(u"odd.zsc"_s, u"File1=X,@/src/odd/*\nDir1=@/out\nZipFile=-odd name"_s);
    QCOMPARE(pf.run({u"odd.zsc"_s}).code, 0);
    QVERIFY(peersPass(pf.at(u"out/-odd name.zip"_s)));
    QCOMPARE(members(pf.at(u"out/-odd name.zip"_s)), expected);
    QCOMPARE(filesBelow(pf.at(u"src"_s)), QStringList()); // each went in, so each is deleted
}

// Script, settings and log files nobody should write. `make` names the file
// (script: the one run; ini; log) and what it is made: a FIFO, a folder, a
// link, 50 MB long or 100,000 keys longer; or a settings key to write; or
// what another user locks ('@' stands for the run folder). (Odd values of
// the settings and script keys are the storage tests' own.)
void HostileInputTest::files_data() {
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says"); // on standard error or in the log
    const auto row = [](const char* name, const QString& make, const char* script, int code,
                        const QString& says = {}) {
        QTest::newRow(name) << make << QString::fromLatin1(script) << code << says;
    };
    const QString missing = u"  Script file does not exist."_s;
    row("script of 50 MB", u"script:huge"_s, "good.zsc", 2,
        u"  Aborted : Unable to read script file. Error 27 : "_s);
    row("100,000 file specs", u"script:File"_s, "good.zsc", 0);
    row("100,000 member specs", u"script:File"_s, "good.usc", 0);
    row("100,000 e-mail addresses", u"script:EmailAddress"_s, "good.zsc", 0);
    row("script is a FIFO", u"script:fifo"_s, "good.zsc", 1, missing);
    row("script links to /dev/zero", u"script:/dev/zero"_s, "good.usc", 1, missing);
    row("script is a folder", u"script:folder"_s, "good.zsc", 1, missing);
    row("script folder is a file", u"ScriptFilePath=@/src/f1.txt"_s, "good.zsc", 1, missing);
    row("error folder missing", u"ErrorFilePath=@/missing/log"_s, "bad.zsc", 2);
    row("settings file is a FIFO", u"ini:fifo"_s, "-a", 0);
    row("settings file links to /dev/zero", u"ini:/dev/zero"_s, "-a", 0);
    row("run log is a FIFO nobody reads", u"log:fifo"_s, "bad.zsc", 2);
    row("run log links to /dev/null", u"log:/dev/null"_s, "good.zsc", 0);
    row("run log links to a file, started afresh", u"log:@/src/f1.txt"_s, "bad.zsc", 2,
        u"@/log/errors.txt is a symbolic link"_s);
    // Another user locks the run log (readable by all, as older versions left
    // it): no run waits for it, and each still records its result in the
    // script and its lines in the log. (A locked script folder is the lock
    // tests' own.)
    row("another user locks the log, a finished run", u"lock:log/errors.txt"_s, "good.zsc", 0);
    row("another user locks the log, an aborted run", u"lock:log/errors.txt"_s, "bad.zsc", 2);
}

void HostileInputTest::files() {
    QFETCH(QString, make);
    QFETCH(QString, script);
    QFETCH(int, code);
    QFETCH(QString, says);
    ProgramFolder pf;
    const QString folder = pf.at().chopped(1);
    make.replace(u'@', folder);
    Files sources;
    for (int i = 0; i < 20; ++i)
        QVERIFY(writeFile(pf.at(u"src/f%1.txt"_s.arg(i)),
                          sources[u"f%1.txt"_s.arg(i)] = "source " + QByteArray::number(i)));
    QVERIFY(writeArchive(pf, {{"good.txt", "good"}}));
    pf.writeScript(u"good.zsc"_s, u"File1=@/src/f*\nDir1=@/out\nZipFile=good\nAttachment=Yes\n"
                                  u"EmailAddress1=nobody@example.invalid"_s);
    pf.writeScript(u"good.usc"_s, u"ZipFile=@/src/in\nFile1=*.txt\nDir1=@/out/x"_s);
    pf.writeScript(u"bad.zsc"_s, u"File1=@/src/f1.txt"_s);
    QVERIFY(writeFile(pf.log(), "old line\r\n"));

    const QString kind = make.section(u':', 0, 0), what = make.section(u':', 1);
    const bool many = what == u"File" || what == u"EmailAddress"; // 100,000 keys more
    const QString file = kind == u"ini" ? pf.ini() : kind == u"log" ? pf.log() : pf.script(script);
    QByteArray text = readFile(file);
    for (int i = 2; many && i <= 100'001; ++i)
        text += what.toUtf8() + QByteArray::number(i) + '=' +
                (what == u"File"_s && script.endsWith(u".zsc"_s)
                     ? QFile::encodeName(pf.at(u"src/f%1.txt"_s.arg(i % 20)))
                     : "x" + QByteArray::number(i) + "@example.invalid") +
                "\r\n";
    if (kind == u"log") // a log through a link must not empty its target
        QVERIFY(writeFile(pf.ini(), readFile(pf.ini()) + "NewErrorFile=Yes\r\n"));
    if (make.contains(u':') && kind != u"lock")
        QFile::remove(file);
    QProcess holder; // another user's lock, held until its input ends
    if (kind == u"lock") {
        if (::geteuid() != 0)
            QSKIP("needs root to run a second user (setpriv)");
        for (const QString& p : {pf.scratch({}), pf.at(), pf.at(u"scripts"_s), pf.at(u"log"_s)})
            QCOMPARE(::chmod(QFile::encodeName(p).constData(), 0755), 0);
        QVERIFY(QFile::setPermissions(pf.log(), QFile::permissions(pf.log()) | QFile::ReadOther));
        holder.start(u"setpriv"_s,
                     {u"--reuid=4242"_s, u"--regid=4242"_s, u"--clear-groups"_s, u"flock"_s,
                      u"-x"_s, pf.at(what), u"-c"_s, u"echo; exec cat"_s});
        QVERIFY(holder.waitForReadyRead(30000));
    } else if (make.contains(u'=')) {
        QVERIFY(WriteIni(u"Options"_s, make.section(u'=', 0, 0), make.section(u'=', 1), pf.ini()));
    } else if (what == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    } else if (what == u"folder") {
        QVERIFY(QDir().mkpath(file));
    } else if (what.startsWith(u'/')) {
        QVERIFY(QFile::link(what, file));
    } else {
        if (what == u"huge")
            text += QByteArray("Filler=0123456789abcdef\r\n").repeated(2'000'000);
        QVERIFY(writeFile(file, text));
    }

    // A script that cannot be read, and a log that is not a file of ours,
    // keep every byte.
    QStringList allowed{u"run/out"_s, u"run/tmp"_s};
    if (kind != u"log")
        allowed << u"run/log"_s;
    if (code != 1 && what != u"huge")
        allowed << u"run/scripts/"_s + script;
    const QStringList before = outside(pf, allowed);
    const Ran r = pf.run({script});
    holder.closeWriteChannel(); // cat ends, and with it the lock
    QVERIFY(holder.state() == QProcess::NotRunning || holder.waitForFinished());
    QCOMPARE(outside(pf, allowed), before);
    QVERIFY2(r.code == code, qPrintable(u"%1: %2"_s.arg(r.code).arg(pf.logText())));
    QVERIFY2((r.err + pf.logText()).contains(says.replace(u'@', folder)),
             qPrintable(r.err + pf.logText()));
    if (code == 0 && script == u"good.zsc")
        QCOMPARE(members(pf.at(u"out/good.zip"_s)), sources);
    if (code == 0 && script == u"good.usc")
        QCOMPARE(readFile(pf.at(u"out/x/good.txt"_s)), "good");
    if (many) // a script that can be read keeps every key
        QVERIFY(readFile(file).contains(what.toUtf8() + "100001="));
    if (kind == u"lock") {
        const QString stamps = QString::fromUtf8(readFile(pf.script(script)));
        QVERIFY2(stamps.contains(u"\r\nLastRun="_s) &&
                     stamps.contains(u"\r\nError=X"_s) == (code == 2),
                 qPrintable(stamps));
        QCOMPARE(pf.logText().count(u"\r\n"_s), code ? 2 : 1);
        QVERIFY(pf.logText().startsWith(u"old line\r\n"_s));
        QVERIFY(!(QFile::permissions(pf.log()) & (QFile::ReadGroup | QFile::ReadOther)));
    }
}

QTEST_GUILESS_MAIN(HostileInputTest)
#include "tst_hostile_input.moc"
