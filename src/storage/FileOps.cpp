#include "storage/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {
namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool closeChecked() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

mode_t defaultFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

bool fail(PlatformError& error) {
    error = ErrorFromErrno(errno);
    return false;
}

bool copyContent(int in, int out) {
    constexpr size_t kChunk = 1 << 20;
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), kChunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.constData() + done, size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return false;
            done += put;
        }
    }
}

} // namespace

bool CopyFileReplacing(const QString& source, const QString& target, PlatformError& error) {
    Fd in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return fail(error);
    struct stat existing {};
    const bool replacing = ::stat(native(target).constData(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) {
        error = ErrorFromErrno(EISDIR);
        return false;
    }
    QByteArray temp = native(target) + ".tarvik-XXXXXX";
    Fd out(::mkstemp(temp.data()));
    if (out.get() < 0)
        return fail(error);
    const mode_t mode = replacing ? (existing.st_mode & 07777) : defaultFileMode();
    const bool ok = copyContent(in.get(), out.get()) && ::fchmod(out.get(), mode) == 0 &&
                    ::fsync(out.get()) == 0 && out.closeChecked() &&
                    ::rename(temp.constData(), native(target).constData()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.constData());
        error = ErrorFromErrno(saved);
    }
    return ok;
}

bool HandOverFileReplacing(const QString& source, const QString& target, PlatformError& error) {
    const QByteArray from = native(source);
    const QByteArray to = native(target);
    struct stat file {};
    if (::stat(from.constData(), &file) != 0 || !S_ISREG(file.st_mode))
        return CopyFileReplacing(source, target, error);
    struct stat existing {};
    const bool replacing = ::stat(to.constData(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) {
        error = ErrorFromErrno(EISDIR);
        return false;
    }
    const mode_t mode = replacing ? (existing.st_mode & 07777) : defaultFileMode();
    const bool sameFile =
        replacing && existing.st_dev == file.st_dev && existing.st_ino == file.st_ino;
    // The mode is the file's: without the owner's write bit the source could
    // not be deleted afterwards.
    if (sameFile || !(mode & S_IWUSR))
        return CopyFileReplacing(source, target, error);

    // A second name beside the target, of the form RemoveUnfinishedFiles knows.
    QByteArray temp;
    for (int tries = 0; tries < 16 && temp.isEmpty(); ++tries) {
        static const char kLetters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        QByteArray candidate = to + ".tarvik-";
        for (int i = 0; i < 6; ++i)
            candidate += kLetters[QRandomGenerator::global()->bounded(62)];
        if (::link(from.constData(), candidate.constData()) == 0)
            temp = candidate;
        else if (errno != EEXIST)
            return CopyFileReplacing(source, target, error); // EXDEV, EPERM, EMLINK...
    }
    if (temp.isEmpty())
        return CopyFileReplacing(source, target, error);
    Fd fd(::open(temp.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    const bool ok = fd.get() >= 0 &&
                    ((file.st_mode & 07777) == mode || ::fchmod(fd.get(), mode) == 0) &&
                    ::fsync(fd.get()) == 0 && fd.closeChecked() &&
                    ::rename(temp.constData(), to.constData()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.constData());
        error = ErrorFromErrno(saved);
    }
    return ok;
}

bool RemoveFile(const QString& path, PlatformError& error) {
    // A file without its owner's write bit is read-only: it stays, for root too.
    struct stat st {};
    if (::lstat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
        !(st.st_mode & S_IWUSR)) {
        error = ErrorFromErrno(EACCES);
        return false;
    }
    if (::unlink(native(path).constData()) != 0)
        return fail(error);
    return true;
}

void RemoveUnfinishedFiles(const QString& folder, const QString& prefix) {
    const QByteArray start = native(prefix);
    DIR* dir = ::opendir(native(folder).constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (name.size() != start.size() + 6 || !name.startsWith(start))
            continue;
        const bool random = std::all_of(name.cbegin() + start.size(), name.cend(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        });
        struct stat st {};
        if (random && ::fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::getuid())
            ::unlinkat(fd, name.constData(), 0);
    }
    ::closedir(dir);
}

} // namespace tarvik

namespace tarvik {

bool CopyFileOwnerOnly(const QString& source, const QString& target, PlatformError& error) {
    Fd in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return fail(error);
    QByteArray temp = native(target) + ".tarvik-XXXXXX";
    Fd out(::mkstemp(temp.data())); // mkstemp creates it 0600
    if (out.get() < 0)
        return fail(error);
    const bool ok = copyContent(in.get(), out.get()) &&
                    ::fchmod(out.get(), S_IRUSR | S_IWUSR) == 0 && ::fsync(out.get()) == 0 &&
                    out.closeChecked() &&
                    ::rename(temp.constData(), native(target).constData()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.constData());
        error = ErrorFromErrno(saved);
    }
    return ok;
}

} // namespace tarvik
