#include "storage/FileLock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {
constexpr uid_t kOtherUser = 4242;
}

// The lock writers of a folder's INI files share: a lock file that other
// users can neither open nor plant, so that none of them can stall a writer.
class FileLockTest : public QObject {
    Q_OBJECT
private slots:
    void folderLock_data();
    void folderLock();
};

void FileLockTest::folderLock_data() {
    QTest::addColumn<QString>("found");     // what is at the lock file's place beforehand
    QTest::addColumn<bool>("othersFolder"); // the folder belongs to another user
    QTest::addColumn<bool>("locked");
    QTest::addColumn<bool>("othersFile"); // when locked: the lock file is the folder owner's
    QTest::newRow("nothing: made owner-only") << "" << false << true << false;
    QTest::newRow("ours, open to all: made owner-only") << "0666" << false << true << false;
    QTest::newRow("the folder locked by someone: no matter")
        << "folder flock" << false << true << false;
    QTest::newRow("a symbolic link: refused") << "link" << false << false << false;
    QTest::newRow("a FIFO: refused") << "fifo" << false << false << false;
    QTest::newRow("another user's: refused") << "other 0600" << false << false << false;
    QTest::newRow("nothing, another user's folder: made for that user")
        << "" << true << true << true;
    QTest::newRow("the folder owner's, open to all: made owner-only")
        << "other 0644" << true << true << true;
}

void FileLockTest::folderLock() {
    QFETCH(QString, found);
    QFETCH(bool, othersFolder);
    QFETCH(bool, locked);
    QFETCH(bool, othersFile);
    if ((othersFolder || found.startsWith(u"other"_s)) && ::geteuid() != 0)
        QSKIP("needs root to give files to another user");
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray file = folder + '/' + FileLock::kFolderLockName;
    const QByteArray target = folder + "/target";
    QCOMPARE(::close(::open(target.constData(), O_CREAT | O_WRONLY, 0644)), 0);
    QCOMPARE(::chmod(target.constData(), 0644), 0);
    if (othersFolder)
        QCOMPARE(::chown(folder.constData(), kOtherUser, kOtherUser), 0);
    int held = -1;
    if (found == u"link")
        QCOMPARE(::symlink(target.constData(), file.constData()), 0);
    else if (found == u"fifo")
        QCOMPARE(::mkfifo(file.constData(), 0600), 0);
    else if (found == u"folder flock")
        QCOMPARE(::flock(held = ::open(folder.constData(), O_RDONLY), LOCK_EX), 0);
    else if (!found.isEmpty()) {
        QCOMPARE(::close(::open(file.constData(), O_CREAT | O_WRONLY, 0600)), 0);
        QCOMPARE(::chmod(file.constData(), found.right(4).toUInt(nullptr, 8)), 0);
        if (found.startsWith(u"other"_s))
            QCOMPARE(::chown(file.constData(), kOtherUser, kOtherUser), 0);
    }
    struct stat before {};
    ::lstat(file.constData(), &before);

    const FileLock lock(dir.path(), FileLock::Kind::Folder, 0);
    QCOMPARE(lock.isLocked(), locked);
    struct stat after {};
    QCOMPARE(::lstat(file.constData(), &after), 0);
    if (locked) {
        QVERIFY(S_ISREG(after.st_mode));
        QCOMPARE(after.st_mode & 07777, mode_t(0600));
        QCOMPARE(after.st_uid, othersFile ? kOtherUser : ::geteuid());
    } else {
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(::stat(target.constData(), &after), 0); // a link's target stays as it was
        QCOMPARE(after.st_mode & 07777, mode_t(0644));
    }
    if (held >= 0)
        ::close(held);
}

QTEST_GUILESS_MAIN(FileLockTest)
#include "tst_file_lock.moc"
