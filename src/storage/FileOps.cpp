#include "storage/FileOps.h"

#include <QCryptographicHash>
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

// What sits at the name a file is about to be renamed to.
struct Target {
    QByteArray path;
    QByteArray folder;       // with its trailing separator; empty for the working folder
    mode_t mode = 0;         // the mode the new file gets
    struct stat existing {}; // what is there now, links not followed
    bool ownFile = false;    // a regular file of the running user
};

// A replaced regular file of the running user passes its mode on. Nothing
// else does: not a link (its target's mode could be anything, /dev/null's is
// 0666), not a file someone else planted. And an archive never becomes
// writable to group or others, who could then change the backup.
bool inspectTarget(const QString& path, Target& target, PlatformError& error) {
    target.path = native(path);
    target.folder = target.path.left(target.path.lastIndexOf('/') + 1);
    struct stat st {};
    if (::lstat(target.path.constData(), &st) != 0) {
        if (errno != ENOENT) // ENAMETOOLONG, ENOTDIR, EACCES...: no copy can be made
            return fail(error);
        target.mode = defaultFileMode() & 0644;
        return true;
    }
    if (S_ISDIR(st.st_mode)) {
        error = ErrorFromErrno(EISDIR);
        return false;
    }
    target.ownFile = S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
    target.existing = st;
    target.mode = target.ownFile ? (st.st_mode & 0777 & ~mode_t(022)) : (defaultFileMode() & 0644);
    return true;
}

// Renames the synced `temp` over the target, then syncs the folder: until the
// new name is on the disk, a power cut could lose the copy, and the run must
// not delete anything on the strength of it.
bool commit(const QByteArray& temp, const Target& target, PlatformError& error) {
    if (::rename(temp.constData(), target.path.constData()) != 0) {
        const int saved = errno;
        ::unlink(temp.constData());
        error = ErrorFromErrno(saved);
        return false;
    }
    const QByteArray folder = target.folder.isEmpty() ? QByteArray(".") : target.folder;
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0)
        return fail(error);
    return true;
}

} // namespace

QString TemporarySiblingPrefix(const QString& fileName) {
    const QByteArray hash =
        QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha256).left(8).toHex();
    return QStringLiteral(".tarvik-") + QString::fromLatin1(hash) + u'.';
}

QString LockFileName(const QString& fileName) {
    return TemporarySiblingPrefix(fileName) + QStringLiteral("lock");
}

bool CheckNameLength(const QString& path, PlatformError& error) {
    const QByteArray name = native(QFileInfo(path).fileName());
    const long limit = ::pathconf(native(QFileInfo(path).path()).constData(), _PC_NAME_MAX);
    if (limit > 0 && name.size() > limit) {
        error = ErrorFromErrno(ENAMETOOLONG);
        return false;
    }
    return true;
}

namespace {

// The copy through a synced temporary sibling; `mode` when given, else what
// inspectTarget decides.
bool copyReplacing(const QString& source, const QString& target, std::optional<mode_t> mode,
                   PlatformError& error) {
    Fd in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return fail(error);
    Target to;
    if (!inspectTarget(target, to, error))
        return false;
    QByteArray temp =
        to.folder + native(TemporarySiblingPrefix(QFileInfo(target).fileName())) + "XXXXXX";
    Fd out(::mkstemp(temp.data())); // created 0600: nobody else reads a half copy
    if (out.get() < 0)
        return fail(error);
    if (!copyContent(in.get(), out.get()) || ::fchmod(out.get(), mode.value_or(to.mode)) != 0 ||
        ::fsync(out.get()) != 0 || !out.closeChecked()) {
        const int saved = errno;
        ::unlink(temp.constData());
        error = ErrorFromErrno(saved);
        return false;
    }
    return commit(temp, to, error);
}

} // namespace

bool CopyFileReplacing(const QString& source, const QString& target, PlatformError& error) {
    return copyReplacing(source, target, std::nullopt, error);
}

bool HandOverFileReplacing(const QString& source, const QString& target, PlatformError& error) {
    const QByteArray from = native(source);
    struct stat file {};
    if (::stat(from.constData(), &file) != 0 || !S_ISREG(file.st_mode))
        return CopyFileReplacing(source, target, error);
    Target to;
    if (!inspectTarget(target, to, error))
        return false;
    const bool sameFile =
        to.ownFile && to.existing.st_dev == file.st_dev && to.existing.st_ino == file.st_ino;
    // The mode is the file's: without the owner's write bit the source could
    // not be deleted afterwards.
    if (sameFile || !(to.mode & S_IWUSR))
        return CopyFileReplacing(source, target, error);

    // A second name beside the target, of the form RemoveUnfinishedFiles knows.
    const QByteArray start =
        to.folder + native(TemporarySiblingPrefix(QFileInfo(target).fileName()));
    QByteArray temp;
    for (int tries = 0; tries < 16 && temp.isEmpty(); ++tries) {
        static const char kLetters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        QByteArray candidate = start;
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
    if (fd.get() < 0 || ((file.st_mode & 07777) != to.mode && ::fchmod(fd.get(), to.mode) != 0) ||
        ::fsync(fd.get()) != 0 || !fd.closeChecked()) {
        const int saved = errno;
        ::unlink(temp.constData());
        error = ErrorFromErrno(saved);
        return false;
    }
    return commit(temp, to, error);
}

namespace {

FileIdentity identityOf(const struct stat& st) {
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

std::optional<FileIdentity> IdentityOfOpenFile(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return identityOf(st);
}

std::optional<FileIdentity> IdentityOfPath(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0)
        return std::nullopt;
    return identityOf(st);
}

bool RemoveFile(const QString& path, PlatformError& error) {
    return RemoveFile(native(path), error);
}

bool RemoveFile(const QByteArray& path, PlatformError& error) {
    // A file without its owner's write bit is read-only: it stays, for root too.
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        error = ErrorFromErrno(EACCES);
        return false;
    }
    if (::unlink(path.constData()) != 0)
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

bool CopyFileOwnerOnly(const QString& source, const QString& target, PlatformError& error) {
    return copyReplacing(source, target, S_IRUSR | S_IWUSR, error);
}

} // namespace tarvik
