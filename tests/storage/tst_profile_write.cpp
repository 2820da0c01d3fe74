#include "TestFiles.h"
#include "storage/ProfileFile.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace tarvik;

namespace {
const QString kOptions = QStringLiteral("Options");
}

class ProfileWriteTest : public QObject {
    Q_OBJECT
private slots:
    void writeKeepsTheRestOfTheFile_data();
    void writeKeepsTheRestOfTheFile();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void refusedWritesChangeNothing_data();
    void refusedWritesChangeNothing();
    void newFileIsOwnerOnlyAndModeIsKept();
    void rewriteKeepsOwnerAndGroup_data();
    void rewriteKeepsOwnerAndGroup();
    void missingFolderIsNotCreated();
    void removingFromMissingFileCreatesNothing();
    void writeGoesOnWithoutAUsableLockFile();
};

void ProfileWriteTest::writeKeepsTheRestOfTheFile_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray windows = "; keep me\r\n[OPTIONS]\r\nZipFile = Caf\xe9\r\nDir1=C:\\A\r\n";
    QTest::newRow("replace in place, Latin-1 file becomes UTF-8")
        << windows << "Options"
        << "zipfile"
        << "Neu" << QByteArray("; keep me\r\n[OPTIONS]\r\nzipfile=Neu\r\nDir1=C:\\A\r\n");
    QTest::newRow("untouched lines keep their characters")
        << windows << "Options"
        << "Dir2"
        << "D:\\B"
        << QByteArray(
               "; keep me\r\n[OPTIONS]\r\nZipFile = Caf\xc3\xa9\r\nDir1=C:\\A\r\nDir2=D:\\B\r\n");
    QTest::newRow("empty value removes the key")
        << windows << "Options"
        << "Dir1"
        << "" << QByteArray("; keep me\r\n[OPTIONS]\r\nZipFile = Caf\xc3\xa9\r\n");
    QTest::newRow("empty key removes the section")
        << QByteArray("[Other]\nA=1\n[Options]\nB=2\n[Last]\nC=3\n") << "Options"
        << ""
        << "" << QByteArray("[Other]\r\nA=1\r\n[Last]\r\nC=3\r\n");
    QTest::newRow("new key goes after the section's last key")
        << QByteArray("[Options]\nA=1\n\n[Other]\nB=2\n") << "Options"
        << "C"
        << "3" << QByteArray("[Options]\r\nA=1\r\nC=3\r\n\r\n[Other]\r\nB=2\r\n");
    QTest::newRow("missing section appended")
        << QByteArray("[Other]\r\nB=2\r\n") << "Options"
        << "A"
        << "1" << QByteArray("[Other]\r\nB=2\r\n[Options]\r\nA=1\r\n");
    QTest::newRow("duplicates all removed")
        << QByteArray("[Options]\r\nA=1\r\nA=2\r\n") << "Options"
        << "A"
        << "" << QByteArray("[Options]\r\n");
}

void ProfileWriteTest::writeKeepsTheRestOfTheFile() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.zsc"));
    writeBytes(path, before);
    QVERIFY(WriteIni(section, key, value, path));
    QCOMPARE(readBytes(path), after);
}

void ProfileWriteTest::valuesRoundTrip_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("leading and trailing blanks") << "  two blanks  ";
    QTest::newRow("tab at the end") << "tab\t";
    QTest::newRow("quoted text") << "\"quoted\"";
    QTest::newRow("lone quote") << "\"";
    QTest::newRow("control characters") << QStringLiteral("a\x01\x1f\x7f b");
    QTest::newRow("latin-1 and beyond") << QStringLiteral("\u00e9\u00ff\u0080 \u20ac \U0001F600");
    QTest::newRow("semicolon and equals") << "; not a comment = still value";
    QTest::newRow("brackets") << "[Options]";
}

void ProfileWriteTest::valuesRoundTrip() {
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.zsc"));
    QVERIFY(WriteIni(kOptions, QStringLiteral("Key"), value, path));
    QVERIFY(WriteIni(kOptions, QStringLiteral("Other"), QStringLiteral("x"), path));
    QCOMPARE(ReadIni(kOptions, QStringLiteral("Key"), QString(), path), value);
}

void ProfileWriteTest::refusedWritesChangeNothing_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("line feed in value") << "Body"
                                        << "one\ntwo" << false;
    QTest::newRow("carriage return in value") << "Body"
                                              << "one\rtwo" << false;
    QTest::newRow("NUL in value") << "Body"
                                  << QStringLiteral("one") + QChar(0) + QStringLiteral("two")
                                  << false;
    QTest::newRow("equals in key") << "A=B"
                                   << "v" << false;
    QTest::newRow("read-only file") << "Body"
                                    << "new" << true;
}

void ProfileWriteTest::refusedWritesChangeNothing() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.zsc"));
    const QByteArray before = "[Options]\r\nBody=old\r\n";
    writeBytes(path, before);
    if (readOnly)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QVERIFY(!WriteIni(kOptions, key, value, path));
    QCOMPARE(readBytes(path), before);
}

void ProfileWriteTest::newFileIsOwnerOnlyAndModeIsKept() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.zsc"));
    QVERIFY(WriteIni(kOptions, QStringLiteral("A"), QStringLiteral("1"), path));
    const auto ownerRw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QCOMPARE(QFileInfo(path).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             ownerRw);

    const auto shared = ownerRw | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(path, shared));
    QVERIFY(WriteIni(kOptions, QStringLiteral("B"), QStringLiteral("2"), path));
    QCOMPARE(QFileInfo(path).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             shared);
    QCOMPARE(readBytes(path), QByteArray("[Options]\r\nA=1\r\nB=2\r\n"));
    QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));
}

// Root stamping a user's script leaves it the user's; a link another user
// planted leads root only to that user's own files.
void ProfileWriteTest::rewriteKeepsOwnerAndGroup_data() {
    QTest::addColumn<int>("linkOwner"); // -1: no link, the file itself is written
    QTest::addColumn<int>("owner");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("written");
    QTest::newRow("another user's owner-only file") << -1 << 4242 << 4242 << 0600 << true;
    QTest::newRow("ours, in another group") << -1 << 0 << 4242 << 0640 << true;
    QTest::newRow("another user's link to their file") << 4242 << 4242 << 4242 << 0600 << true;
    QTest::newRow("another user's link to ours: refused") << 4242 << 0 << 0 << 0644 << false;
}

void ProfileWriteTest::rewriteKeepsOwnerAndGroup() {
    QFETCH(int, linkOwner);
    QFETCH(int, owner);
    QFETCH(int, group);
    QFETCH(int, mode);
    QFETCH(bool, written);
    if (::geteuid() != 0)
        QSKIP("needs root to give files to another user");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("s.zsc"));
    const QString link = dir.filePath(QStringLiteral("link.zsc"));
    const QByteArray before = "[Options]\r\nA=1\r\n";
    writeBytes(file, before);
    const QByteArray native = QFile::encodeName(file);
    QCOMPARE(::chown(native.constData(), uid_t(owner), gid_t(group)), 0);
    QCOMPARE(::chmod(native.constData(), mode_t(mode)), 0);
    if (linkOwner >= 0) {
        QVERIFY(QFile::link(file, link));
        QCOMPARE(::lchown(QFile::encodeName(link).constData(), uid_t(linkOwner), 0), 0);
    }
    QCOMPARE(
        WriteIni(kOptions, QStringLiteral("B"), QStringLiteral("2"), linkOwner >= 0 ? link : file),
        written);
    QCOMPARE(readBytes(file), written ? QByteArray("[Options]\r\nA=1\r\nB=2\r\n") : before);
    struct stat st {};
    QCOMPARE(::stat(native.constData(), &st), 0);
    QCOMPARE(st.st_uid, uid_t(owner));
    QCOMPARE(st.st_gid, gid_t(group));
    QCOMPARE(st.st_mode & 07777, mode_t(mode));
    QCOMPARE(QFileInfo(link).isSymLink(), linkOwner >= 0);
}

void ProfileWriteTest::missingFolderIsNotCreated() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/s.zsc"));
    QVERIFY(!WriteIni(kOptions, QStringLiteral("A"), QStringLiteral("1"), path));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}

void ProfileWriteTest::removingFromMissingFileCreatesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.zsc"));
    QVERIFY(WriteIni(kOptions, QStringLiteral("Error"), QString(), path));
    QVERIFY(!QFileInfo::exists(path));
}

// A lock file this user may not use (here a planted link) keeps nobody
// waiting and blocks no write.
void ProfileWriteTest::writeGoesOnWithoutAUsableLockFile() {
    QTemporaryDir dir;
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), dir.filePath(QStringLiteral(".tarvik.lock"))));
    const QString path = dir.filePath(QStringLiteral("s.zsc"));
    QVERIFY(WriteIni(kOptions, QStringLiteral("A"), QStringLiteral("1"), path));
    QCOMPARE(ReadIni(kOptions, QStringLiteral("A"), {}, path), QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(ProfileWriteTest)
#include "tst_profile_write.moc"
