#include "storage/ProfileFile.h"

#include "storage/FileLock.h"
#include "storage/PathText.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {
namespace {

QString& settingsPathStore() {
    static QString path;
    return path;
}

QString executablePath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString resolve(const QString& file) {
    return file.isEmpty() ? SettingsFilePath() : file;
}

// A file without the owner's write bit is read-only, also for root: a script
// or settings file the user protected is never rewritten behind their back.
bool isReadOnly(const QFileInfo& info) {
    return info.exists() && !(info.permissions() & QFileDevice::WriteOwner);
}

// Waits for another writer are short: writes take milliseconds, and a
// scheduled run must not stall on a writer that hangs.
constexpr int kWriterWaitMs = 5000;

bool refuse(int number, int* error) {
    if (error)
        *error = number;
    return false;
}

// The file a write to `path` replaces: the path itself or, for a symbolic
// link, its final target. Another user's link is followed only to a file of
// that user: root must not rewrite a system file someone linked a script to.
std::optional<QString> writeTarget(const QString& path, int* error) {
    const QByteArray native = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(native.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    struct stat target {};
    const bool resolved = ::stat(native.constData(), &target) == 0;
    if (link.st_uid != ::geteuid() && (!resolved || target.st_uid != link.st_uid)) {
        refuse(EPERM, error);
        return std::nullopt;
    }
    return resolved ? QFileInfo(path).canonicalFilePath() : path;
}

bool writeAtomically(const QString& file, const QByteArray& bytes, int* error) {
    const std::optional<QString> path = writeTarget(file, error);
    if (!path)
        return false;
    const QFileInfo info(*path);
    if (info.isDir())
        return refuse(EISDIR, error);
    if (isReadOnly(info))
        return refuse(EACCES, error);
    struct stat old {};
    const bool isNew = ::stat(QFile::encodeName(*path).constData(), &old) != 0;
    QSaveFile out(*path);
    const auto fail = [&] {
        const int number = errno != 0 ? errno : EIO;
        out.cancelWriting();
        return refuse(number, error);
    };
    errno = 0;
    // Unbuffered, so a failing write is seen here: QSaveFile::commit() does
    // not notice a write that only fails when its buffer is flushed, and would
    // put a short (even empty) file in place of the old one.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail();
    if (isNew)
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // The new file takes over the old one's owner and group (it keeps the
    // mode by itself): root stamping a user's script must leave it theirs.
    // A user who cannot give a file away keeps at least the group.
    else if (::fchown(out.handle(), old.st_uid, old.st_gid) != 0 &&
             ::fchown(out.handle(), uid_t(-1), old.st_gid) != 0) {
        // Not ours to give away: the file becomes this user's, as any they write.
    }
    // commit() ignores a failing sync; the old file stays unless the new one
    // is known to be on the disk.
    if (out.write(bytes) != bytes.size() || !out.flush() || ::fsync(out.handle()) != 0)
        return fail();
    return out.commit() || fail(); // renames over the old file
}

} // namespace

QString SettingsFilePath() {
    QString& path = settingsPathStore();
    if (path.isEmpty()) {
        const QFileInfo exe(executablePath());
        path = JoinPath(StripTrailingSeparator(exe.absolutePath()),
                        exe.completeBaseName() + QStringLiteral(".ini"));
    }
    return path;
}

void SetSettingsFilePath(const QString& path) {
    settingsPathStore() = path;
}

QString DecodeProfileText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

namespace {

// The bytes of a profile file, or nothing with `error` set.
std::optional<QByteArray> readProfileBytes(const QString& file, int* error) {
    const auto refuse = [&](int number) -> std::optional<QByteArray> {
        if (error)
            *error = number;
        return std::nullopt;
    };
    // Only a regular file is read: opening a FIFO would wait for a writer, and
    // a device such as /dev/zero never ends.
    const int fd =
        ::open(QFile::encodeName(resolve(file)).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(errno);
    struct stat st {};
    int problem = 0;
    if (::fstat(fd, &st) != 0)
        problem = errno;
    else if (!S_ISREG(st.st_mode))
        problem = EINVAL;
    else if (st.st_size > kMaxProfileFileSize)
        problem = EFBIG;
    QFile in;
    if (problem == 0 && !in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        problem = EIO;
    if (problem != 0) {
        ::close(fd);
        return refuse(problem);
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return refuse(EIO);
    if (bytes.size() > kMaxProfileFileSize)
        return refuse(EFBIG);
    return bytes;
}

} // namespace

std::optional<IniDocument> LoadIniDocument(const QString& file, int* error) {
    const std::optional<QByteArray> bytes = readProfileBytes(file, error);
    if (!bytes)
        return std::nullopt;
    return IniDocument::parse(DecodeProfileText(*bytes));
}

QString ReadIni(const QString& section, const QString& key, const QString& fallback,
                const QString& file) {
    const std::optional<IniDocument> doc = LoadIniDocument(file);
    return doc ? doc->value(section, key, fallback) : fallback;
}

bool UpdateIni(const QString& file, const std::function<bool(IniDocument&)>& edit,
               bool replaceWhole, int* error) {
    const QString path = resolve(file);
    // Writers of any file in the folder take turns; the file itself cannot
    // carry the lock, as every write replaces it.
    const FileLock lock(FolderOfPath(QFileInfo(path).absoluteFilePath()), FileLock::Kind::Folder,
                        kWriterWaitMs);
    // A writer that holds the lock too long is waited for no longer: going on
    // could lose its keys. A lock file this user cannot use (a read-only
    // folder, a folder shared with its owner, who holds the lock file) keeps
    // nobody waiting either; the write goes on without it, still atomic.
    if (!lock.isLocked() && lock.error() == EWOULDBLOCK)
        return refuse(lock.error(), error);
    IniDocument doc;
    const bool exists = QFileInfo::exists(path);
    QByteArray old;
    if (!replaceWhole && exists) {
        int readError = 0;
        std::optional<QByteArray> bytes = readProfileBytes(path, &readError);
        if (!bytes)
            return refuse(readError, error); // never overwrite a file we could not read
        old = std::move(*bytes);
        doc = IniDocument::parse(DecodeProfileText(old));
    }
    if (!edit(doc))
        return refuse(EINVAL, error);
    const QString text = doc.serialize();
    if (!exists && text.isEmpty())
        return true; // removing from a file that is not there creates nothing
    const QByteArray bytes = text.toUtf8();
    // A file that already holds exactly these bytes is left alone: a synced
    // rewrite costs milliseconds, and a run clears its script's Error key
    // after every run, almost always when there is none.
    if (exists && !replaceWhole && bytes == old)
        return !isReadOnly(QFileInfo(path)) || refuse(EACCES, error);
    return writeAtomically(path, bytes, error);
}

bool WriteIni(const QString& section, const QString& key, const QString& value, const QString& file,
              int* error) {
    if (!IniDocument::isStorableValue(value))
        return refuse(EINVAL, error);
    return UpdateIni(
        file,
        [&](IniDocument& doc) {
            if (key.isEmpty())
                doc.removeSection(section);
            else if (value.isEmpty())
                doc.removeKey(section, key);
            else
                return doc.setValue(section, key, value);
            return true;
        },
        false, error);
}

bool ScriptFileExists(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

} // namespace tarvik
