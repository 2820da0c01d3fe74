#include "storage/FileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarvik {

FileLock::FileLock(const QString& path, Kind kind, int timeoutMs) {
    const QByteArray native = QFile::encodeName(path);
    fd_ = kind == Kind::Folder
              ? ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
              : ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0)
        return;
    const QDeadlineTimer deadline(timeoutMs);
    unsigned long pause = 1;
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            locked_ = true;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired())
            return;
        QThread::msleep(pause);
        pause = std::min(pause * 2, 50ul);
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
}

} // namespace tarvik
