// Driver for bench/run: the read-back a zip run makes of its first copy before
// it deletes anything, alone, so its share of the run can be told. The
// archive is synced and its cached pages dropped first, as the run does.
//   read_back ARCHIVE [PASSWORD]
#include "archive/ArchiveCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ARCHIVE [PASSWORD]\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || ::fsync(fd) != 0)
        return 1;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    QElapsedTimer clock;
    clock.start();
    tarvik::PlatformError error;
    const QString password = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (!tarvik::ArchiveCopyReadsBack(fd, st.st_size, password, error)) {
        std::fprintf(stderr, "read-back failed: %s\n", qPrintable(error.description));
        return 1;
    }
    std::printf("read-back s %.3f\n", double(clock.nsecsElapsed()) / 1e9);
    return 0;
}
