#include "storage/FileLock.h"

#include "storage/PathText.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {
namespace {

QByteArray folderOf(const QByteArray& file) {
    const qsizetype at = file.lastIndexOf('/');
    return at < 0 ? QByteArray(".") : at == 0 ? QByteArray("/") : file.left(at);
}

// A lock file we may use: a regular file of ours or of the folder's owner
// (who controls the folder anyway), which only its owner can open.
bool isPrivateLockFile(int fd, const QByteArray& path) {
    struct stat file {};
    struct stat folder {};
    if (::fstat(fd, &file) != 0 || ::stat(folderOf(path).constData(), &folder) != 0)
        return false;
    if (!S_ISREG(file.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (file.st_uid != ::geteuid() && file.st_uid != folder.st_uid) {
        errno = EPERM;
        return false;
    }
    return (file.st_mode & 077) == 0 || ::fchmod(fd, 0600) == 0;
}

} // namespace

int OpenOrCreatePrivate(const QByteArray& path, int flags) {
    flags |= O_NOFOLLOW | O_CLOEXEC;
    // Opening and creating are two steps, so that only a file this call made
    // changes hands; a rival creating it in between sends us round again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(path.constData(), flags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        const int made = ::open(path.constData(), flags | O_CREAT | O_EXCL, 0600);
        if (made >= 0) {
            struct stat folder {};
            if (::geteuid() == 0 && ::stat(folderOf(path).constData(), &folder) == 0 &&
                folder.st_uid != 0 && ::fchown(made, folder.st_uid, folder.st_gid) != 0) {
                // Kept root's: the owner then cannot open it, but nothing is lost.
            }
            return made;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

bool LockWithin(int fd, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    unsigned long pause = 1;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (deadline.hasExpired()) {
            errno = EWOULDBLOCK;
            return false;
        }
        QThread::msleep(pause);
        pause = std::min(pause * 2, 50ul);
    }
}

FileLock::FileLock(const QString& path, Kind kind, int timeoutMs) {
    const QByteArray file = QFile::encodeName(
        kind == Kind::Folder ? JoinPath(path, QString::fromLatin1(kFolderLockName)) : path);
    fd_ = OpenOrCreatePrivate(file, O_RDWR | O_NONBLOCK);
    if (fd_ >= 0 && isPrivateLockFile(fd_, file))
        locked_ = LockWithin(fd_, timeoutMs);
    if (!locked_)
        error_ = errno;
}

FileLock::~FileLock() {
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
}

} // namespace tarvik
