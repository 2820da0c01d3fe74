// Checked file operations: archive copies and hand-overs, the writers' lock
// file, file names as bytes.
#include "TestFiles.h"
#include "storage/FileLock.h"
#include "storage/FileNameText.h"
#include "storage/FileOps.h"

#include <QDir>
#include <QTemporaryDir>

using namespace tarvik;

namespace {
// What sits at the target -> the mode the archive gets there, or minus the
// error number; linked by a hand-over? Only the user's own regular file passes
// its mode on, never with group or other write; anything else gets the umask's
// mode (002 here), at most 0644. A link is replaced, never written through. A
// hand-over links the source where it can, unless that leaves it read-only.
const std::tuple<const char*, int, bool> kTargets[] = {
    {"none", 0644, true},
    {"own:0600", 0600, true},
    {"own:0664", 0644, true},
    {"own:04755", 0755, true},
    {"own:0444", 0444, false},
    {"other:0600", 0644, true},
    {"link to own", 0644, true},
    {"the source itself", 0644, false},
    {"other filesystem", 0644, false},
    {"folder", -EISDIR, false},
    {"no source, own:0644", -ENOENT, false},
    {"no folder", -ENOENT, false},
};

// What is at the lock file's place, the folder another user's? -> locked (then
// owner-only, the folder owner's). Others may neither plant the lock file nor
// open it, or they could stall every writer.
const std::tuple<const char*, QString, bool, bool> kLocks[] = {
    {"nothing: made owner-only", u""_s, false, true},
    {"ours, open to all: made owner-only", u"0666"_s, false, true},
    {"a symbolic link: refused", u"link"_s, false, false},
    {"a FIFO: refused", u"fifo"_s, false, false},
    {"another user's: refused", u"other 0600"_s, false, false},
    {"nothing, another user's folder: made theirs", u""_s, true, true},
    {"the folder owner's, open to all: made owner-only", u"other 0644"_s, true, true},
};

// Every byte survives the trip through text; only bytes outside well-formed
// UTF-8 are written \xNN for people.
const std::tuple<const char*, QByteArray, QString> kNames[] = {
    {"UTF-8", "caf\xc3\xa9", u"café"_s},
    {"Latin-1", "caf\xe9.txt", u"caf\\xE9.txt"_s},
    {"four bytes, a stray one", "\xf0\x9f\x98\x80\xe9", u"\U0001F600\\xE9"_s},
    {"overlong slash", "\xc0\xaf", u"\\xC0\\xAF"_s},
    {"encoded surrogate", "\xed\xa0\x80", u"\\xED\\xA0\\x80"_s},
    {"beyond U+10FFFF", "\xf4\x90\x80\x80", u"\\xF4\\x90\\x80\\x80"_s},
    {"cut off", "a\xe2\x82", u"a\\xE2\\x82"_s},
};
using Op = bool (*)(const QString&, const QString&, PlatformError&);
const std::pair<const char*, Op> kOps[] = {
    {"copy", [](const QString& a, const QString& b,
                PlatformError& e) { return CopyFileReplacing(a, b, e); }},
    {"hand-over", [](const QString& a, const QString& b,
                     PlatformError& e) { return HandOverFileReplacing(a, b, e); }},
    {"owner-only", CopyFileOwnerOnly}};
} // namespace

class FileOpsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ::umask(002); } // before the first copy: the mode code reads it once

    void replace_data() {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("row");
        for (int op : {0, 1, 2})
            for (int i = 0; i < int(std::size(kTargets)); ++i)
                QTest::addRow("%s %s", kOps[op].first, std::get<0>(kTargets[i])) << op << i;
    }
    void replace() {
        QFETCH(int, op);
        const auto& [name, mode, linked] = rowOf(kTargets);
        const QString at = QString::fromLatin1(name);
        const int uid = at.startsWith(u"other:") ? 4242 : -1;
        if (uid > 0 && ::geteuid() != 0)
            QSKIP("a file of another user needs root to plant");
        QTemporaryDir dir, shm(u"/dev/shm/tarvik-test-XXXXXX"_s);
        const QString source = dir.filePath(u"a.zip"_s), own = dir.filePath(u"own"_s);
        QString target = dir.filePath(u"b.zip"_s);
        const QByteArray content((1 << 20) + 7, 'z'); // more than one read
        QVERIFY(writeBytes(own, "own") && setMode(own, 0755));
        if (!at.startsWith(u"no source"))
            QVERIFY(writeBytes(source, content));
        if (at.contains(u':'))
            QVERIFY(writeBytes(target, "old") &&
                    setMode(target, at.section(u':', 1).toInt(nullptr, 8), uid, uid));
        else if (at == u"link to own")
            QVERIFY(QFile::link(own, target));
        else if (at == u"folder")
            QVERIFY(QDir(dir.path()).mkpath(u"b.zip"_s));
        else if (at == u"no folder")
            target = dir.filePath(u"gone/b.zip"_s);
        else if (at == u"the source itself")
            target = source;
        else if (at == u"other filesystem") {
            if (!shm.isValid() || statOf(dir.path()).st_dev == statOf(shm.path()).st_dev)
                QSKIP("no second filesystem at /dev/shm");
            target = shm.filePath(u"b.zip"_s);
        }
        const ino_t sourceFile = statOf(source).st_ino;
        PlatformError error;
        const bool ok = kOps[op].second(source, target, error);
        const struct stat st = statOf(target, false);
        QCOMPARE(ok ? int(st.st_mode & 07777) : -error.number, op == 2 && ok ? 0600 : mode);
        QVERIFY(!ok || (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                        readBytes(target) == content && readBytes(source) == content));
        QCOMPARE(ok && st.st_ino == sourceFile, op == 1 && linked); // source keeps its name too
        if (at.startsWith(u"no source"))
            QCOMPARE(readBytes(target), QByteArray("old"));
        QCOMPARE(readBytes(own) + QByteArray::number(statOf(own).st_mode & 07777, 8),
                 QByteArray("own755"));
        // Nothing is left beside the target.
        QCOMPARE(QFileInfo(target).dir().entryList({u".*"_s}, QDir::Files | QDir::Hidden), {});
    }

    void folderLock_data() { addRows(kLocks); }
    void folderLock() {
        const auto& [name, found, othersFolder, locked] = rowOf(kLocks);
        if ((othersFolder || found.startsWith(u"other")) && ::geteuid() != 0)
            QSKIP("needs root to give files to another user");
        QTemporaryDir dir;
        const QString file = dir.filePath(QString::fromLatin1(FileLock::kFolderLockName));
        const QString target = dir.filePath(u"target"_s);
        QVERIFY(writeBytes(target, {}) && setMode(target, 0644));
        if (othersFolder)
            QVERIFY(setMode(dir.path(), 0700, 4242, 4242));
        if (found == u"link")
            QVERIFY(QFile::link(target, file));
        else if (found == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        else if (!found.isEmpty())
            QVERIFY(writeBytes(file, {}) && setMode(file, found.right(4).toInt(nullptr, 8),
                                                    found.startsWith(u"other") ? 4242 : -1));
        const struct stat before = statOf(file, false);
        const FileLock lock(dir.path(), FileLock::Kind::Folder, 0);
        QCOMPARE(lock.isLocked(), locked);
        const struct stat after = statOf(file, false);
        if (locked)
            QCOMPARE(QList<uint>({S_ISREG(after.st_mode), after.st_mode & 07777, after.st_uid}),
                     QList<uint>({1, 0600, othersFolder ? 4242u : ::geteuid()}));
        else
            QVERIFY(after.st_mode == before.st_mode && after.st_uid == before.st_uid &&
                    (statOf(target).st_mode & 07777) == 0644); // a link's target untouched
    }

    void nameText_data() { addRows(kNames); }
    void nameText() {
        const auto& [name, bytes, readable] = rowOf(kNames);
        QCOMPARE(ReadableName(bytes), readable);
        QCOMPARE(IsUtf8(bytes), !readable.contains(u"\\x"_s));
        QCOMPARE(NameBytes(NameText(bytes)), bytes);
        if (IsUtf8(bytes))
            QCOMPARE(NameText(bytes), readable);
    }
};

QTEST_GUILESS_MAIN(FileOpsTest)
#include "tst_file_ops.moc"
