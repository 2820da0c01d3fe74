#include "storage/FileOps.h"

#include "storage/UnnamedFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    BackgroundWriteback writeback(out);
    qint64 copied = 0;
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
        copied += got;
        writeback.note(copied);
    }
}

// What sits at the name a file is about to be given.
struct Target {
    QByteArray path;
    QByteArray folder;       // with its trailing separator; empty for the working folder
    QByteArray leaf;         // the name in that folder
    QByteArray hiddenStart;  // the start of its temporary siblings' names
    mode_t mode = 0;         // the mode the new file gets
    struct stat existing {}; // what is there now, links not followed
    bool missing = false;    // nothing had the name when it was looked at
    bool ownFile = false;    // a regular file of the running user
};

// A replaced regular file of the running user passes its mode on. Nothing
// else does: not a link (its target's mode could be anything, /dev/null's is
// 0666), not a file someone else planted. And an archive never becomes
// writable to group or others, who could then change the backup.
bool inspectTarget(const QString& path, Target& target, PlatformError& error) {
    target.path = native(path);
    const qsizetype cut = target.path.lastIndexOf('/') + 1;
    target.folder = target.path.left(cut);
    target.leaf = target.path.mid(cut);
    target.hiddenStart = native(TemporarySiblingPrefix(QFileInfo(path).fileName()));
    struct stat st {};
    if (::lstat(target.path.constData(), &st) != 0) {
        if (errno != ENOENT) // ENAMETOOLONG, ENOTDIR, EACCES...: no copy can be made
            return fail(error);
        target.mode = defaultFileMode() & 0644;
        target.missing = true;
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

int openFolder(const Target& target) {
    const QByteArray folder = target.folder.isEmpty() ? QByteArray(".") : target.folder;
    return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Syncs the finished copy, then lets `check` judge it from what the disk holds:
// the pages this process just wrote are dropped first.
bool syncAndCheck(int fd, const CopyCheck& check, PlatformError& error) {
    if (::fsync(fd) != 0)
        return fail(error);
    if (!check)
        return true;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    return check(fd, error);
}

// Until the new name is on the disk, a power cut could lose the copy, and the
// run must not delete anything on the strength of it.
bool syncFolder(int folder, PlatformError& error) {
    return ::fsync(folder) == 0 || fail(error);
}

// Renames the finished sibling `temp` over the target and syncs the folder.
bool renameIntoPlace(int folder, const QByteArray& temp, const Target& target,
                     PlatformError& error) {
    if (::renameat(folder, temp.constData(), folder, target.leaf.constData()) != 0) {
        const int saved = errno;
        ::unlinkat(folder, temp.constData(), 0);
        error = ErrorFromErrno(saved);
        return false;
    }
    return syncFolder(folder, error);
}

// Gives the finished unnamed copy `fd` the target's name: straight away when
// nothing has it, else through a hidden sibling renamed over what is there.
bool nameUnnamedCopy(int fd, int folder, const Target& target, PlatformError& error) {
    if (target.missing) {
        if (NameUnnamedFile(fd, folder, target.leaf))
            return syncFolder(folder, error);
        if (errno != EEXIST)
            return fail(error);
    }
    for (int tries = 0; tries < 16; ++tries) {
        const QByteArray temp = target.hiddenStart + RandomNamePart();
        if (NameUnnamedFile(fd, folder, temp))
            return renameIntoPlace(folder, temp, target, error);
        if (errno != EEXIST)
            return fail(error);
    }
    error = ErrorFromErrno(EEXIST);
    return false;
}

// A hidden sibling of the target, for file systems without unnamed files.
int createHiddenSibling(int folder, const Target& target, QByteArray* temp) {
    for (int tries = 0; tries < 16; ++tries) {
        *temp = target.hiddenStart + RandomNamePart();
        const int fd = ::openat(folder, temp->constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

void BackgroundWriteback::note(qint64 end) {
#ifdef SYNC_FILE_RANGE_WRITE
    if (end - started_ < kStep)
        return;
    // Starts the writes and returns; a failure shows at the sync.
    ::sync_file_range(fd_, started_, end - started_, SYNC_FILE_RANGE_WRITE);
    started_ = end;
#else
    Q_UNUSED(end);
#endif
}

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

// The copy through an unnamed (or hidden) synced file; `mode` when given,
// else what inspectTarget decides.
bool copyReplacing(const QString& source, const QString& target, std::optional<mode_t> mode,
                   PlatformError& error, const CopyCheck& check) {
    Fd in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return fail(error);
    Target to;
    if (!inspectTarget(target, to, error))
        return false;
    Fd folder(openFolder(to));
    if (folder.get() < 0)
        return fail(error);
    QByteArray temp; // the hidden sibling's name, when the copy has one
    int fd = OpenUnnamedFile(folder.get(), O_RDWR, 0600);
    if (fd < 0 && errno == EOPNOTSUPP)
        fd = createHiddenSibling(folder.get(), to, &temp);
    if (fd < 0)
        return fail(error);
    Fd out(fd);
    const bool written =
        copyContent(in.get(), out.get()) && ::fchmod(out.get(), mode.value_or(to.mode)) == 0;
    if (!written)
        error = ErrorFromErrno(errno);
    if (!written || !syncAndCheck(out.get(), check, error)) {
        if (!temp.isEmpty())
            ::unlinkat(folder.get(), temp.constData(), 0);
        return false;
    }
    if (temp.isEmpty())
        return nameUnnamedCopy(out.get(), folder.get(), to, error);
    if (!out.closeChecked()) {
        const int saved = errno;
        ::unlinkat(folder.get(), temp.constData(), 0);
        error = ErrorFromErrno(saved);
        return false;
    }
    return renameIntoPlace(folder.get(), temp, to, error);
}

} // namespace

bool CopyFileReplacing(const QString& source, const QString& target, PlatformError& error,
                       const CopyCheck& check) {
    return copyReplacing(source, target, std::nullopt, error, check);
}

bool HandOverFileReplacing(const QString& source, const QString& target, PlatformError& error,
                           const CopyCheck& check) {
    const QByteArray from = native(source);
    Fd file(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return CopyFileReplacing(source, target, error, check);
    Target to;
    if (!inspectTarget(target, to, error))
        return false;
    const bool sameFile =
        to.ownFile && to.existing.st_dev == st.st_dev && to.existing.st_ino == st.st_ino;
    // The mode is the file's: without the owner's write bit the source could
    // not be deleted afterwards.
    if (sameFile || !(to.mode & S_IWUSR))
        return CopyFileReplacing(source, target, error, check);
    Fd folder(openFolder(to));
    struct stat place {};
    if (folder.get() < 0 || ::fstat(folder.get(), &place) != 0)
        return fail(error);
    if (place.st_dev != st.st_dev)
        return CopyFileReplacing(source, target, error, check);

    // The file is made what the copy would be before it gets a second name.
    if ((st.st_mode & 07777) != to.mode && ::fchmod(file.get(), to.mode) != 0)
        return fail(error);
    if (!syncAndCheck(file.get(), check, error))
        return false;
    if (to.missing) {
        if (::linkat(AT_FDCWD, from.constData(), folder.get(), to.leaf.constData(), 0) == 0)
            return syncFolder(folder.get(), error);
        if (errno != EEXIST)
            return CopyFileReplacing(source, target, error, check); // EPERM, EMLINK...
    }
    for (int tries = 0; tries < 16; ++tries) {
        const QByteArray temp = to.hiddenStart + RandomNamePart();
        if (::linkat(AT_FDCWD, from.constData(), folder.get(), temp.constData(), 0) == 0)
            return renameIntoPlace(folder.get(), temp, to, error);
        if (errno != EEXIST)
            return CopyFileReplacing(source, target, error, check);
    }
    return CopyFileReplacing(source, target, error, check);
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
    return copyReplacing(source, target, S_IRUSR | S_IWUSR, error, {});
}

} // namespace tarvik
