#include "archive/SafeTarget.h"

#include "storage/FileNameText.h"
#include "storage/UnnamedFile.h"

#include <QFile>
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

// The process's umask, from /proc (reading it with umask() would change it for
// a moment under the other threads); -1 when it cannot be told.
int ProcessUmask() {
    static const int mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const int value = line.mid(6).trimmed().toInt(&ok, 8);
                return ok ? value : -1;
            }
        }
        return -1;
    }();
    return mask;
}

} // namespace

TempFile::~TempFile() {
    if (named_)
        ::unlinkat(folder_, name_.constData(), 0);
}

bool TempFile::create(mode_t mode) {
    int fd = OpenUnnamedFile(folder_, O_WRONLY, mode != 0 ? mode : 0666);
    if (fd >= 0) {
        fd_.reset(fd);
        // Created with `mode` less the umask: set only what the umask took away.
        const int mask = ProcessUmask();
        mode_ = mode != 0 && (mask < 0 || (mode & mode_t(mask)) != 0) ? mode : 0;
        return true;
    }
    if (errno != EOPNOTSUPP)
        return false;
    for (int tries = 0; tries < 16 && !fd_.valid(); ++tries) {
        name_ = HiddenName();
        fd_.reset(::openat(folder_, name_.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd_.valid() && errno != EEXIST)
            return false;
    }
    if (!fd_.valid())
        return false;
    named_ = true;
    // The kernel applied the umask: keep the outcome for members without Unix
    // modes, and keep the file to its owner until it is complete.
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0)
        return false;
    mode_ = mode != 0 ? mode : (st.st_mode & 0777);
    return ::fchmod(fd_.get(), 0600) == 0;
}

bool TempFile::finish(qint64 modified) {
    if (mode_ != 0 && ::fchmod(fd_.get(), mode_) != 0)
        return false;
    const struct timespec times[2] = {{time_t(modified), 0}, {time_t(modified), 0}};
    return ::futimens(fd_.get(), times) == 0;
}

// A named file is closed before it is named (late write errors show then); an
// unnamed one can only be named while open.
bool TempFile::close() {
    return !fd_.valid() || ::close(fd_.release()) == 0;
}

bool TempFile::link(const QByteArray& finalName) {
    if (!named_) {
        if (!NameUnnamedFile(fd_.get(), folder_, finalName))
            return false;
        return close();
    }
    if (!close() || ::linkat(folder_, name_.constData(), folder_, finalName.constData(), 0) != 0)
        return false;
    ::unlinkat(folder_, name_.constData(), 0);
    named_ = false;
    return true;
}

bool TempFile::replace(const QByteArray& finalName) {
    // rename() replaces an existing target, a link does not: the unnamed file
    // gets a hidden name first, for the moment until the rename.
    for (int tries = 0; tries < 16 && !named_; ++tries) {
        name_ = HiddenName();
        if (NameUnnamedFile(fd_.get(), folder_, name_))
            named_ = true;
        else if (errno != EEXIST)
            return false;
    }
    if (!named_ || !close())
        return false;
    if (::renameat(folder_, name_.constData(), folder_, finalName.constData()) != 0)
        return false;
    named_ = false;
    return true;
}

} // namespace tarvik::zipio
