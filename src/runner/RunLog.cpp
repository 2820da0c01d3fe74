#include "runner/RunLog.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {
namespace {

// Non-blocking: a FIFO without a reader must not stall an unattended run; its
// lines are then lost like those of any log that cannot be opened.
int openLog(const QByteArray& path, int extraFlags) {
    return ::open(path.constData(),
                  O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC | extraFlags, 0666);
}

void lock(int fd, int operation) {
    while (::flock(fd, operation) != 0 && errno == EINTR) {
    }
}

} // namespace

RunLog::RunLog(const QString& path, bool startAfresh)
    : path_(QFile::encodeName(path)), fd_(openLog(path_, startAfresh ? O_TRUNC : 0)) {}

RunLog::~RunLog() {
    close(false);
}

void RunLog::write(const QString& line) {
    if (fd_ < 0)
        return;
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
    // Once the lock is held, a log another run deleted (it was empty when that
    // run finished) is opened again, so the line lands where others look.
    for (;;) {
        lock(fd_, LOCK_EX);
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || st.st_nlink > 0)
            break;
        ::close(fd_);
        fd_ = openLog(path_, 0);
        if (fd_ < 0)
            return;
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += put;
    }
    lock(fd_, LOCK_UN);
}

void RunLog::close(bool runFinished) {
    if (fd_ < 0)
        return;
    if (runFinished) {
        lock(fd_, LOCK_EX);
        // Only an empty regular file that still bears the name is removed: not
        // a log another run has written to meanwhile, nor a FIFO, a device or
        // the symbolic link a user put there.
        struct stat open {};
        struct stat named {};
        if (::fstat(fd_, &open) == 0 && S_ISREG(open.st_mode) && open.st_size == 0 &&
            open.st_nlink > 0 && ::lstat(path_.constData(), &named) == 0 &&
            named.st_dev == open.st_dev && named.st_ino == open.st_ino)
            ::unlink(path_.constData());
    }
    ::close(fd_); // releases the lock
    fd_ = -1;
}

} // namespace tarvik
