#include "archive/ZipEngine.h"
#include "tst_zipengine_tools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace tarvik;
using namespace ziptest;

namespace {

constexpr qint64 kMemberTime = 1600000000; // even, so DOS times hold it exactly

// Writes an archive with Python's zipfile: argv[2:] are name=content pairs; a
// name starting with "link:" becomes a symlink member.
const QString kPythonWriter = QStringLiteral(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for pair in sys.argv[2:]:
        name, data = pair.split('=', 1)
        info = zipfile.ZipInfo(name.removeprefix('link:'), (2020, 9, 13, 12, 26, 40))
        if name.startswith('link:'):
            info.create_system = 3
            info.external_attr = 0o120777 << 16
        z.writestr(info, data)
)");

bool PythonZip(const QString& archive, const QStringList& members) {
    return Python(kPythonWriter, QStringList{archive} + members).exitCode == 0;
}

bool InfoZip(const QString& folder, const QStringList& args) {
    return Run(QStringLiteral("/usr/bin/zip"), QStringList{QStringLiteral("-q")} + args, folder)
               .exitCode == 0;
}

} // namespace

class ZipEngineExtractTest : public QObject {
    Q_OBJECT

private slots:
    void modes_data();
    void modes();
    void selection_data();
    void selection();
    void passwords_data();
    void passwords();
    void sevenZipAes_data();
    void sevenZipAes();
    void badArchives_data();
    void badArchives();
    void hostileMembers_data();
    void hostileMembers();
    void writeFailureKeepsExistingFile();

private:
    quint16 extract(const QString& archive, const QString& folder, const QString& patterns,
                    qint16 mode = 0, qint16 overwrite = 2, const QString& password = {});
};

quint16 ZipEngineExtractTest::extract(const QString& archive, const QString& folder,
                                      const QString& patterns, qint16 mode, qint16 overwrite,
                                      const QString& password) {
    ExtractRequest request;
    request.archivePath = archive;
    request.patterns = patterns.split(u'\r', Qt::SkipEmptyParts);
    request.password = password;
    request.replaceExisting = overwrite == 2;
    request.mode = ExtractMode(mode);
    request.folder = folder;
    return ExtractArchive(request).result;
}

void ZipEngineExtractTest::modes_data() {
    QTest::addColumn<QString>("maker"); // "infozip": exact times; "python": DOS times only
    QTest::addColumn<int>("existing");  // offset of the file on disk from the member; 0: none
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("overwrite");
    QTest::addColumn<QString>("after"); // "ARCHIVE", "DISK" or "" (no file)
    const QString zip = QStringLiteral("infozip");
    for (int overwrite : {2, 1}) {
        const QString kept = overwrite == 2 ? QStringLiteral("ARCHIVE") : QStringLiteral("DISK");
        const QByteArray ow = " overwrite " + QByteArray::number(overwrite);
        QTest::newRow("mode 0, older file" + ow) << zip << -100 << 0 << overwrite << kept;
        QTest::newRow("mode 0, newer file" + ow) << zip << 100 << 0 << overwrite << kept;
        QTest::newRow("mode 0, no file" + ow) << zip << 0 << 0 << overwrite << "ARCHIVE";
        QTest::newRow("mode 1, older file" + ow) << zip << -100 << 1 << overwrite << kept;
        QTest::newRow("mode 1, newer file" + ow) << zip << 100 << 1 << overwrite << "DISK";
        QTest::newRow("mode 1, no file" + ow) << zip << 0 << 1 << overwrite << "";
        QTest::newRow("mode 2, older file" + ow) << zip << -100 << 2 << overwrite << kept;
        QTest::newRow("mode 2, newer file" + ow) << zip << 100 << 2 << overwrite << "DISK";
        QTest::newRow("mode 2, no file" + ow) << zip << 0 << 2 << overwrite << "ARCHIVE";
    }
    QTest::newRow("1 s older, exact times") << zip << -1 << 2 << 2 << "ARCHIVE";
    QTest::newRow("1 s older, DOS times") << "python" << -1 << 2 << 2 << "DISK";
    QTest::newRow("3 s older, DOS times") << "python" << -3 << 1 << 2 << "ARCHIVE";
}

void ZipEngineExtractTest::modes() {
    QFETCH(QString, maker);
    QFETCH(int, existing);
    QFETCH(int, mode);
    QFETCH(int, overwrite);
    QFETCH(QString, after);
    QTemporaryDir row;
    const QString archive = row.filePath(QStringLiteral("m.zip"));
    if (maker == u"python") {
        QVERIFY(PythonZip(archive, Names({"m.txt=ARCHIVE"})));
    } else {
        QVERIFY(WriteFile(row.filePath(QStringLiteral("m.txt")), "ARCHIVE"));
        QVERIFY(SetModified(row.filePath(QStringLiteral("m.txt")), kMemberTime));
        QVERIFY(InfoZip(row.path(), Names({"m.zip", "m.txt"})));
    }
    const QString target = row.filePath(QStringLiteral("out/m.txt"));
    if (existing != 0) {
        QVERIFY(WriteFile(target, "DISK"));
        QVERIFY(SetModified(target, kMemberTime + existing));
    }
    QCOMPARE(extract(archive, row.filePath(QStringLiteral("out")), QStringLiteral("*.*\r"),
                     qint16(mode), qint16(overwrite)),
             zipresult::kOk);
    QCOMPARE(QString::fromUtf8(ReadFile(target)), after);
    if (after == u"ARCHIVE")
        QCOMPARE(Modified(target), kMemberTime);
}

void ZipEngineExtractTest::selection_data() {
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("everything") << "*.*\r"
                                << Names({"a.txt", "docs/b.TXT", "docs/d.log", "docs/deep/c.txt",
                                          "other/a.txt"});
    QTest::newRow("name at any depth, any case")
        << "*.txt\r" << Names({"a.txt", "docs/b.TXT", "docs/deep/c.txt", "other/a.txt"});
    QTest::newRow("exact name at any depth") << "c.txt\r" << Names({"docs/deep/c.txt"});
    QTest::newRow("whole path, any case") << "DOCS/B.txt\r" << Names({"docs/b.TXT"});
    QTest::newRow("path wildcard runs across folders")
        << "docs/*.txt\r" << Names({"docs/b.TXT", "docs/deep/c.txt"});
    QTest::newRow("several patterns")
        << "a.txt\rd.log\r" << Names({"a.txt", "docs/d.log", "other/a.txt"});
    QTest::newRow("no match is fine") << "none.bin\r" << QStringList{};
}

void ZipEngineExtractTest::selection() {
    QFETCH(QString, patterns);
    QFETCH(QStringList, files);
    QTemporaryDir row;
    const QString archive = row.filePath(QStringLiteral("s.zip"));
    QVERIFY(PythonZip(archive, Names({"a.txt=1", "docs/b.TXT=2", "docs/deep/c.txt=3",
                                      "docs/d.log=4", "other/a.txt=5"})));
    const QString out = row.filePath(QStringLiteral("out"));
    QCOMPARE(extract(archive, out, patterns), zipresult::kOk);
    QCOMPARE(FilesBelow(out), files);
}

void ZipEngineExtractTest::passwords_data() {
    QTest::addColumn<QString>("command"); // makes p.zip from m.txt in the row folder
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("result");
    const QString aes = QStringLiteral("7z a -tzip -mem=AES256 -pSecret-1 p.zip m.txt");
    const QString aes128 = QStringLiteral("7z a -tzip -mem=AES128 -pSecret-1 p.zip m.txt");
    const QString trad = QStringLiteral("zip -q -P Secret-1 p.zip m.txt");
    QTest::newRow("AES-256, right") << aes << "Secret-1" << 0;
    QTest::newRow("AES-128, right") << aes128 << "Secret-1" << 0;
    QTest::newRow("AES, wrong") << aes << "secret-1" << 40;
    QTest::newRow("AES, none") << aes << "" << 40;
    QTest::newRow("traditional, right") << trad << "Secret-1" << 0;
    QTest::newRow("traditional, wrong") << trad << "Secret-2" << 40;
    QTest::newRow("traditional, none") << trad << "" << 40;
    QTest::newRow("traditional, UTF-8 password")
        << "zip -q -P \"$(printf 'p\\303\\244ss')\" p.zip m.txt" << QString::fromUtf8("p\xC3\xA4ss")
        << 0;
    QTest::newRow("traditional, Latin-1 password")
        << "zip -q -P \"$(printf 'p\\344ss')\" p.zip m.txt" << QString::fromUtf8("p\xC3\xA4ss")
        << 0;
}

void ZipEngineExtractTest::passwords() {
    QFETCH(QString, command);
    QFETCH(QString, password);
    QFETCH(int, result);
    QTemporaryDir row;
    QVERIFY(WriteFile(row.filePath(QStringLiteral("m.txt")), "secret content"));
    QCOMPARE(Run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}, row.path()).exitCode,
             0);
    const QString out = row.filePath(QStringLiteral("out"));
    QCOMPARE(int(extract(row.filePath(QStringLiteral("p.zip")), out, QStringLiteral("*.*\r"), 0, 2,
                         password)),
             result);
    QCOMPARE(FilesBelow(out), result == 0 ? Names({"m.txt"}) : QStringList{});
    if (result == 0)
        QCOMPARE(ReadFile(out + QStringLiteral("/m.txt")), QByteArray("secret content"));
}

// 7-Zip writes AES members as AE-2: CRC 0, vouched for by the authentication
// code alone. Damage: a byte flipped in the encrypted data or in the code.
void ZipEngineExtractTest::sevenZipAes_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("result");
    const QString right = QStringLiteral("right");
    QTest::newRow("empty") << 0 << "Deflate" << right << "" << 0;
    QTest::newRow("50 bytes") << 50 << "Deflate" << right << "" << 0;
    QTest::newRow("100 bytes, stored") << 100 << "Copy" << right << "" << 0;
    QTest::newRow("64 KiB + 1") << 65537 << "Deflate" << right << "" << 0;
    QTest::newRow("3 MB, stored") << (3 << 20) << "Copy" << right << "" << 0;
    QTest::newRow("3 MB") << (3 << 20) << "Deflate" << right << "" << 0;
    QTest::newRow("wrong password") << 100 << "Deflate"
                                    << "wrong"
                                    << "" << 40;
    QTest::newRow("data flipped, stored") << 65537 << "Copy" << right << "data" << 40;
    QTest::newRow("data flipped") << (3 << 20) << "Deflate" << right << "data" << 40;
    QTest::newRow("empty, code flipped") << 0 << "Copy" << right << "code" << 40;
    QTest::newRow("code flipped") << 65537 << "Deflate" << right << "code" << 40;
}

void ZipEngineExtractTest::sevenZipAes() {
    QFETCH(int, size);
    QFETCH(QString, method);
    QFETCH(QString, password);
    QFETCH(QString, damage);
    QFETCH(int, result);
    QTemporaryDir row;
    const QByteArray content = MixedData(size, 17);
    QVERIFY(WriteFile(row.filePath(QStringLiteral("m.bin")), content));
    const QString archive = row.filePath(QStringLiteral("p.zip"));
    QCOMPARE(Run(QStringLiteral("/usr/bin/7z"),
                 {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-pright"),
                  QStringLiteral("-mem=AES256"), QStringLiteral("-mm=") + method, archive,
                  QStringLiteral("m.bin")},
                 row.path())
                 .exitCode,
             0);
    QByteArray bytes = ReadFile(archive);
    QVERIFY(Python(QStringLiteral("import sys, zipfile\n"
                                  "assert zipfile.ZipFile(sys.argv[1]).infolist()[0].CRC == 0"),
                   {archive})
                .exitCode == 0);
    if (damage == u"data")
        bytes[bytes.size() / 2] ^= 0x01;
    if (damage == u"code")
        bytes[bytes.lastIndexOf("PK\x01\x02") - 1] ^= 0x01;
    QVERIFY(WriteFile(archive, bytes));
    const QString out = row.filePath(QStringLiteral("out"));
    QCOMPARE(int(extract(archive, out, QStringLiteral("*.*\r"), 0, 2, password)), result);
    QCOMPARE(FilesBelow(out), result == 0 ? Names({"m.bin"}) : QStringList{});
    QVERIFY(result != 0 || ReadFile(out + QStringLiteral("/m.bin")) == content);
}

// The archive holds m.txt (over an existing file) and ok.txt, then is spoiled.
void ZipEngineExtractTest::badArchives_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("files"); // in the extraction folder afterwards
    const QStringList untouched = Names({"m.txt"});
    QTest::newRow("not there") << "remove" << 100 << untouched;
    QTest::newRow("not a zip") << "garbage" << 110 << untouched;
    QTest::newRow("empty file") << "empty" << 110 << untouched;
    QTest::newRow("truncated") << "truncate" << 110 << untouched;
    QTest::newRow("no entries") << "no entries" << 50 << untouched;
    QTest::newRow("member with a bad CRC") << "flip" << 110 << Names({"m.txt", "ok.txt"});
}

void ZipEngineExtractTest::badArchives() {
    QFETCH(QString, damage);
    QFETCH(int, result);
    QFETCH(QStringList, files);
    QTemporaryDir row;
    const QByteArray member = MixedData(200000, 5);
    QVERIFY(WriteFile(row.filePath(QStringLiteral("m.txt")), member));
    QVERIFY(WriteFile(row.filePath(QStringLiteral("ok.txt")), "fine"));
    const QString archive = row.filePath(QStringLiteral("b.zip"));
    QVERIFY(InfoZip(row.path(), Names({"-0", "b.zip", "m.txt", "ok.txt"})));
    QByteArray bytes = ReadFile(archive);
    if (damage == u"flip")
        bytes[bytes.indexOf(member.mid(100000, 64)) + 10] ^= 0x20;
    else if (damage == u"truncate")
        bytes.truncate(bytes.size() * 6 / 10);
    else if (damage == u"garbage")
        bytes = MixedData(5000, 9);
    else if (damage == u"empty")
        bytes.clear();
    else if (damage == u"no entries")
        QVERIFY(PythonZip(archive, {}));
    if (damage == u"no entries")
        bytes = ReadFile(archive);
    QVERIFY(WriteFile(archive, bytes));
    if (damage == u"remove")
        QVERIFY(QFile::remove(archive));
    const QString out = row.filePath(QStringLiteral("out"));
    QVERIFY(WriteFile(out + QStringLiteral("/m.txt"), "DISK"));
    QCOMPARE(int(extract(archive, out, QStringLiteral("*.*\r"))), result);
    QCOMPARE(FilesBelow(out), files);
    QCOMPARE(ReadFile(out + QStringLiteral("/m.txt")), QByteArray("DISK"));
}

// Each archive holds one hostile member and good.txt; the extraction folder is
// base/out, with base/outside beside it.
void ZipEngineExtractTest::hostileMembers_data() {
    QTest::addColumn<QString>("member"); // '@' stands for the row folder
    QTest::newRow("parent step") << "../evil.txt";
    QTest::newRow("parent steps inside") << "a/../../evil.txt";
    QTest::newRow("backslash parent steps") << "a\\..\\..\\evil.txt";
    QTest::newRow("absolute path") << "@/base/outside/evil.txt";
    QTest::newRow("drive letter") << "C:/evil.txt";
    QTest::newRow("through a symlink") << "link/evil.txt";
    QTest::newRow("onto a symlink") << "link";
    QTest::newRow("symlink member") << "link:evil.txt";
}

void ZipEngineExtractTest::hostileMembers() {
    QFETCH(QString, member);
    QTemporaryDir row;
    const QString base = row.filePath(QStringLiteral("base"));
    const QString out = base + QStringLiteral("/out");
    QVERIFY(QDir().mkpath(base + QStringLiteral("/outside")));
    QVERIFY(QDir().mkpath(out));
    QVERIFY(QFile::link(base + QStringLiteral("/outside"), out + QStringLiteral("/link")));
    const QString archive = row.filePath(QStringLiteral("h.zip"));
    QVERIFY(PythonZip(archive, {member.replace(u'@', row.path()) + QStringLiteral("=../outside"),
                                QStringLiteral("good.txt=good")}));
    QCOMPARE(extract(archive, out, QStringLiteral("*\r")), zipresult::kFilesSkipped);
    QCOMPARE(FilesBelow(row.path()), Names({"base/out/good.txt", "base/out/link", "h.zip"}));
}

void ZipEngineExtractTest::writeFailureKeepsExistingFile() {
    QTemporaryDir row;
    QVERIFY(WriteFile(row.filePath(QStringLiteral("big.bin")), MixedData(1 << 20, 13)));
    QVERIFY(InfoZip(row.path(), Names({"big.zip", "big.bin"})));
    const QString out = row.filePath(QStringLiteral("out"));
    QVERIFY(WriteFile(out + QStringLiteral("/big.bin"), "DISK"));
    std::signal(SIGXFSZ, SIG_IGN);
    quint16 result;
    {
        Limit limit(RLIMIT_FSIZE, 64 * 1024);
        QVERIFY(limit.ok());
        result = extract(row.filePath(QStringLiteral("big.zip")), out, QStringLiteral("*\r"));
    }
    QCOMPARE(result, zipresult::kWriteError);
    QCOMPARE(FilesBelow(out), Names({"big.bin"}));
    QCOMPARE(ReadFile(out + QStringLiteral("/big.bin")), QByteArray("DISK"));
}

QTEST_GUILESS_MAIN(ZipEngineExtractTest)
#include "tst_zipengine_extract.moc"
