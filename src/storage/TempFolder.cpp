#include "storage/TempFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {
namespace {

bool fail(PlatformError& error) {
    error = ErrorFromErrno(errno);
    return false;
}

} // namespace

QString DefaultTempFolder() {
    return QDir::tempPath() + QStringLiteral("/tarvik-") + QString::number(::getuid());
}

bool EnsurePrivateFolder(const QString& path, PlatformError& error) {
    const QByteArray p = QFile::encodeName(path);
    if (::mkdir(p.constData(), 0700) != 0 && errno != EEXIST)
        return fail(error);
    struct stat st {};
    if (::lstat(p.constData(), &st) != 0)
        return fail(error);
    if (S_ISLNK(st.st_mode)) {
        error = ErrorFromErrno(ELOOP);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = ErrorFromErrno(ENOTDIR);
        return false;
    }
    if (st.st_uid != ::getuid()) {
        error = ErrorFromErrno(EPERM);
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(p.constData(), 0700) != 0)
        return fail(error);
    return true;
}

} // namespace tarvik
