#include "archive/ArchiveCheck.h"

#include "archive/ArchiveReadBack.h"
#include "archive/ArchiveReader.h"

#include <cerrno>
#include <sys/stat.h>

namespace tarvik {

namespace {

// 0 when the file `fd` has the expected size, else the errno to report.
int SizeFailure(int fd, qint64 expectedSize) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    return st.st_size == expectedSize ? 0 : EIO;
}

bool Checked(int failure, PlatformError& error) {
    if (failure == 0)
        return true;
    error = ErrorFromErrno(failure);
    return false;
}

} // namespace

bool ArchiveCopyIsGood(int fd, qint64 expectedSize, PlatformError& error) {
    int failure = SizeFailure(fd, expectedSize);
    if (failure == 0) {
        if (zip_t* archive = zipio::OpenArchiveReader(fd, ZIP_CHECKCONS, &failure))
            zip_discard(archive);
    }
    return Checked(failure, error);
}

bool ArchiveCopyReadsBack(int fd, qint64 expectedSize, const QString& password,
                          PlatformError& error, int threads) {
    int failure = SizeFailure(fd, expectedSize);
    if (failure == 0)
        failure = zipio::ReadArchiveBack(fd, expectedSize, password.toUtf8(), threads);
    return Checked(failure, error);
}

} // namespace tarvik
