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

bool writeAtomically(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (isReadOnly(info) || info.isDir())
        return false;
    const bool isNew = !info.exists();
    QSaveFile out(path);
    // Unbuffered, so a failing write is seen here: QSaveFile::commit() does
    // not notice a write that only fails when its buffer is flushed, and would
    // put a short (even empty) file in place of the old one.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (isNew)
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // commit() ignores a failing sync; the old file stays unless the new one
    // is known to be on the disk.
    if (out.write(bytes) != bytes.size() || !out.flush() || ::fsync(out.handle()) != 0) {
        out.cancelWriting();
        return false;
    }
    return out.commit(); // renames over the old file
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
               bool replaceWhole) {
    const QString path = resolve(file);
    // Writers of any file in the folder take turns; the file itself cannot
    // carry the lock, as every write replaces it.
    const QString folder = FolderOfPath(QFileInfo(path).absoluteFilePath());
    const FileLock lock(folder.isEmpty() ? QString(kPathSeparator) : folder, FileLock::Kind::Folder,
                        20000);
    if (!lock.isLocked())
        return false;
    IniDocument doc;
    const bool exists = QFileInfo::exists(path);
    QByteArray old;
    if (!replaceWhole && exists) {
        std::optional<QByteArray> bytes = readProfileBytes(path, nullptr);
        if (!bytes)
            return false; // never overwrite a file we could not read
        old = std::move(*bytes);
        doc = IniDocument::parse(DecodeProfileText(old));
    }
    if (!edit(doc))
        return false;
    const QString text = doc.serialize();
    if (!exists && text.isEmpty())
        return true; // removing from a file that is not there creates nothing
    const QByteArray bytes = text.toUtf8();
    // A file that already holds exactly these bytes is left alone: a synced
    // rewrite costs milliseconds, and a run clears its script's Error key
    // after every run, almost always when there is none.
    if (exists && !replaceWhole && bytes == old)
        return !isReadOnly(QFileInfo(path));
    return writeAtomically(path, bytes);
}

bool WriteIni(const QString& section, const QString& key, const QString& value,
              const QString& file) {
    if (!IniDocument::isStorableValue(value))
        return false;
    return UpdateIni(file, [&](IniDocument& doc) {
        if (key.isEmpty())
            doc.removeSection(section);
        else if (value.isEmpty())
            doc.removeKey(section, key);
        else
            return doc.setValue(section, key, value);
        return true;
    });
}

bool ScriptFileExists(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

} // namespace tarvik
