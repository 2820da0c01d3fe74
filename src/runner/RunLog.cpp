#include "runner/RunLog.h"

#include "storage/FileLock.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {
namespace {

constexpr int kLockWaitMs = 3000;

} // namespace

QString EscapeControls(const QString& line) {
    QString out;
    out.reserve(line.size());
    for (const QChar c : line) {
        const char16_t u = c.unicode();
        if (u == u'\r')
            out += QLatin1String("\\r");
        else if (u == u'\n')
            out += QLatin1String("\\n");
        else if (u == u'\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7f)
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

namespace {

// Non-blocking: a FIFO without a reader must not stall an unattended run; its
// lines are then lost like those of any log that cannot be opened.
int openLog(const QByteArray& path, int extraFlags) {
    const int fd = OpenOrCreatePrivate(path, O_WRONLY | O_APPEND | O_NONBLOCK | extraFlags);
    struct stat st {};
    if (fd < 0) {
        // Someone who can write to the log folder could otherwise have the
        // run empty or write into any file the run may write.
        if (errno == ELOOP && ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            std::fprintf(stderr, "tarvik: %s is a symbolic link; the run log is not written\n",
                         EscapeControls(QFile::decodeName(path)).toLocal8Bit().constData());
        return -1;
    }
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0 && ::fchmod(fd, st.st_mode & 0700) != 0) {
        // Written all the same: the lines are no less needed.
    }
    return fd;
}

} // namespace

RunLog::RunLog(const QString& path, bool startAfresh)
    : path_(QFile::encodeName(path)), fd_(openLog(path_, startAfresh ? O_TRUNC : 0)) {}

RunLog::~RunLog() {
    close(false);
}

// Someone who opened the log before it was made private can hold a lock on
// it for ever: after one wait in vain, this run no longer waits.
bool RunLog::lock() {
    if (LockWithin(fd_, lockWaitedInVain_ ? 0 : kLockWaitMs))
        return true;
    lockWaitedInVain_ = true;
    return false;
}

void RunLog::write(const QString& line) {
    if (fd_ < 0)
        return;
    const QByteArray bytes = (EscapeControls(line) + QStringLiteral("\r\n")).toUtf8();
    // Once the lock is held, a log another run deleted (it was empty when that
    // run finished) is opened again, so the line lands where others look.
    // Without the lock the line goes in all the same: one append of a whole
    // line never mixes with another's.
    bool locked = lock();
    for (;;) {
        struct stat st {};
        if (!locked || ::fstat(fd_, &st) != 0 || st.st_nlink > 0)
            break;
        ::close(fd_);
        fd_ = openLog(path_, 0);
        if (fd_ < 0)
            return;
        locked = lock();
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += put;
    }
    if (locked)
        ::flock(fd_, LOCK_UN);
}

void RunLog::close(bool runFinished) {
    if (fd_ < 0)
        return;
    // Deleting needs the lock: without it, a line another run is writing
    // could go with the file.
    if (runFinished && lock()) {
        // Only an empty regular file that still bears the name is removed: not
        // a log another run has written to meanwhile, nor a FIFO or a device.
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
