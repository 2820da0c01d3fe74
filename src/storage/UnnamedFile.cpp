#include "storage/UnnamedFile.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tarvik {

namespace {

// Without privileges an unnamed file can be named only through /proc.
bool CanNameUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

} // namespace

int OpenUnnamedFile(int folder, int access, mode_t mode) {
    if (!CanNameUnnamedFiles()) {
        errno = EOPNOTSUPP;
        return -1;
    }
    const int fd = ::openat(folder, ".", O_TMPFILE | access | O_CLOEXEC, mode);
    // Older kernels and some file systems say so in one of these ways.
    if (fd < 0 && (errno == EISDIR || errno == EINVAL))
        errno = EOPNOTSUPP;
    return fd;
}

bool NameUnnamedFile(int fd, int folder, const QByteArray& name) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0;
}

QByteArray RandomNamePart() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray part(6, Qt::Uninitialized);
    for (char& c : part)
        c = kLetters[QRandomGenerator::global()->bounded(62)];
    return part;
}

} // namespace tarvik
