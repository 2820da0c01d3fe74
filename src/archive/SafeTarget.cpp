#include "archive/SafeTarget.h"

#include "storage/FileNameText.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarvik::zipio {

namespace {

FolderHandle Refused(const UniqueFd& parent, const QByteArray& step, int error) {
    struct stat st {};
    if (::fstatat(parent.get(), step.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return {StepState::Symlink, {}, ELOOP};
        if (!S_ISDIR(st.st_mode))
            return {StepState::Blocked, {}, ENOTDIR};
    }
    return {StepState::Failed, {}, error};
}

} // namespace

FolderHandle OpenFolderBelow(int root, const QStringList& steps, bool create) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    if (!current.valid())
        return {StepState::Failed, {}, errno};
    for (const QString& step : steps) {
        const QByteArray name = NameBytes(step);
        int next = ::openat(current.get(), name.constData(), kFlags);
        if (next < 0 && errno == ENOENT) {
            if (!create)
                return {StepState::Missing, {}, ENOENT};
            if (::mkdirat(current.get(), name.constData(), 0777) != 0 && errno != EEXIST)
                return Refused(current, name, errno);
            next = ::openat(current.get(), name.constData(), kFlags);
        }
        if (next < 0)
            return Refused(current, name, errno);
        current.reset(next);
    }
    return {StepState::Ok, std::move(current), 0};
}

namespace {

QByteArray HiddenName() {
    return ".tarvik-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

// An unnamed file can be given a name only through /proc without privileges.
bool CanNameUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

} // namespace

TempFile::~TempFile() {
    if (created_ && !committed_)
        ::unlinkat(folder_, name_.constData(), 0);
}

// An unnamed file (O_TMPFILE) where the file system has them: a process killed
// while writing leaves nothing behind. Elsewhere a hidden name, which a kill
// leaves in place.
bool TempFile::create() {
    if (CanNameUnnamedFiles()) {
        fd_.reset(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (!fd_.valid() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return false;
    }
    unnamed_ = fd_.valid();
    for (int tries = 0; tries < 16 && !fd_.valid(); ++tries) {
        name_ = HiddenName();
        fd_.reset(::openat(folder_, name_.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd_.valid() && errno != EEXIST)
            return false;
    }
    if (!fd_.valid())
        return false;
    created_ = !unnamed_;
    // The kernel applied the umask; keep the outcome for members without Unix
    // modes and hide the file until it is complete.
    struct stat st {};
    if (::fstat(fd_.get(), &st) == 0)
        defaultMode_ = st.st_mode & 0777;
    return ::fchmod(fd_.get(), 0600) == 0;
}

bool TempFile::commit(const QByteArray& finalName) {
    // rename() replaces an existing target, a link does not: the unnamed file
    // gets a hidden name first, for the moment until the rename.
    if (unnamed_) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_.get());
        for (int tries = 0; tries < 16 && !created_; ++tries) {
            name_ = HiddenName();
            if (::linkat(AT_FDCWD, self.constData(), folder_, name_.constData(),
                         AT_SYMLINK_FOLLOW) == 0)
                created_ = true;
            else if (errno != EEXIST)
                return false;
        }
        if (!created_)
            return false;
    }
    if (::close(fd_.release()) != 0)
        return false;
    if (::renameat(folder_, name_.constData(), folder_, finalName.constData()) != 0)
        return false;
    committed_ = true;
    return true;
}

} // namespace tarvik::zipio
