#include "engine/zip/Extractor.h"

#include "engine/zip/ErrorMap.h"
#include "engine/zip/ExtraFields.h"
#include "engine/zip/SafePath.h"
#include "engine/zip/SafeTarget.h"
#include "engine/zip/Wildcard.h"
#include "engine/zip/ZipHandles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/time.h>

namespace tarvik::zipio {

using namespace zipresult;

namespace {

constexpr zip_int64_t kChunk = 256 * 1024;

// DOS times step by 2 s: only a later time beyond that counts as newer.
constexpr qint64 kDosSlack = 2;

enum class Copy { Done, WrongPassword, Unsupported, Damaged, WriteFailed, CreateFailed, NoMemory };

struct CopyResult {
    Copy status = Copy::Done;
    int error = 0;
};

struct Member {
    zip_uint64_t index = 0;
    zip_stat_t stat{};
    QStringList steps;
    quint32 unixMode = 0; // 0 when the archive holds no Unix mode
};

CopyResult FromZipError(int code) {
    switch (code) {
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_NOPASSWD:
        return {Copy::WrongPassword, 0};
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_COMPNOTSUPP:
        return {Copy::Unsupported, 0};
    case ZIP_ER_MEMORY:
        return {Copy::NoMemory, ENOMEM};
    default:
        return {Copy::Damaged, 0};
    }
}

bool WriteAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

class Extraction {
public:
    explicit Extraction(const ExtractOptions& options) : options_(options) {}
    ExtractOutcome run();

private:
    bool selected(const QString& memberName) const;
    void extract(zip_uint64_t index);
    void extractFolder(const Member& member);
    void extractFile(const Member& member);
    void copyWithPasswords(const Member& member, int folder, const QByteArray& leaf,
                           const MemberTime& time);
    CopyResult copy(const Member& member, const char* password, int folder, const QByteArray& leaf,
                    const MemberTime& time);
    void skip(int error = 0);
    void fail(quint16 result, int error);
    void failFolder(const FolderHandle& handle);

    const ExtractOptions& options_;
    zip_t* archive_ = nullptr;
    UniqueFd root_;
    std::unique_ptr<char[]> buffer_;
    bool skipped_ = false;
    bool stop_ = false;
    quint16 hardResult_ = kOk;
    PlatformError error_;
};

ExtractOutcome Extraction::run() {
    if (!QFileInfo(options_.archivePath).isFile())
        return {kArchiveNotFound, ErrnoError(ENOENT)};
    int openError = 0;
    ZipArchive archive(
        zip_open(QFile::encodeName(options_.archivePath).constData(), ZIP_RDONLY, &openError));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, openError);
        ExtractOutcome outcome{OpenResult(&error), LibzipError(&error)};
        zip_error_fini(&error);
        return outcome;
    }
    archive_ = archive.get();
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    if (count <= 0)
        return {kNothingToDo, {}};
    if (!QDir().mkpath(options_.folder))
        return {kDestinationFolder, ErrnoError(errno)};
    root_.reset(
        ::open(QFile::encodeName(options_.folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root_.valid())
        return {kDestinationFolder, ErrnoError(errno)};
    buffer_.reset(new char[kChunk]);
    for (zip_int64_t i = 0; i < count && !stop_; ++i)
        extract(zip_uint64_t(i));
    if (hardResult_ != kOk)
        return {hardResult_, error_};
    return {skipped_ ? kFilesSkipped : kOk, error_};
}

bool Extraction::selected(const QString& memberName) const {
    const QString path = NormalizedMemberName(memberName);
    const QString lastPart = path.mid(path.lastIndexOf(u'/') + 1);
    for (const QString& pattern : options_.patterns) {
        QString wanted = pattern;
        wanted.replace(u'\\', u'/');
        const bool wholePath = wanted.contains(u'/');
        while (wanted.startsWith(u'/'))
            wanted.remove(0, 1);
        if (MatchWildcard(wanted, wholePath ? QStringView(path) : QStringView(lastPart),
                          Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void Extraction::extract(zip_uint64_t index) {
    Member member;
    member.index = index;
    if (zip_stat_index(archive_, index, 0, &member.stat) != 0 || !member.stat.name) {
        fail(kArchiveCorrupt, 0);
        return;
    }
    const QString name = QString::fromUtf8(member.stat.name);
    if (!selected(name))
        return;
    const std::optional<QStringList> steps = SafeMemberPath(name);
    if (!steps) {
        skip(EPERM); // would land outside the extraction folder
        return;
    }
    member.steps = *steps;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive_, index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX)
        member.unixMode = attributes >> 16;
    const quint32 type = member.unixMode & S_IFMT;
    const bool folder = name.endsWith(u'/') || name.endsWith(u'\\') || type == S_IFDIR;
    if (folder) {
        extractFolder(member);
        return;
    }
    if (type != 0 && type != S_IFREG) {
        skip(EPERM); // symbolic links and devices are never created
        return;
    }
    extractFile(member);
}

void Extraction::extractFolder(const Member& member) {
    const FolderHandle handle = OpenFolderBelow(root_.get(), member.steps, true);
    if (handle.state != StepState::Ok)
        failFolder(handle);
}

void Extraction::extractFile(const Member& member) {
    if (member.steps.isEmpty()) {
        skip(EINVAL);
        return;
    }
    const QStringList parents = member.steps.mid(0, member.steps.size() - 1);
    const QByteArray leaf = QFile::encodeName(member.steps.last());
    FolderHandle parent = OpenFolderBelow(root_.get(), parents, false);
    if (parent.state != StepState::Ok && parent.state != StepState::Missing) {
        failFolder(parent);
        return;
    }
    struct stat existing {};
    const bool exists =
        parent.state == StepState::Ok &&
        ::fstatat(parent.fd.get(), leaf.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISLNK(existing.st_mode)) {
        skip(ELOOP);
        return;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        fail(kCreateError, EISDIR);
        return;
    }
    const MemberTime time = ReadMemberTime(archive_, member.index, qint64(member.stat.mtime));
    if (options_.mode == 1 || options_.mode == 2) {
        if (!exists && options_.mode == 1)
            return;
        const qint64 slack = time.exact ? 0 : kDosSlack;
        if (exists && time.seconds <= qint64(existing.st_mtime) + slack)
            return;
    }
    if (exists && !options_.replaceExisting)
        return;
    if (parent.state == StepState::Missing) {
        parent = OpenFolderBelow(root_.get(), parents, true);
        if (parent.state != StepState::Ok) {
            failFolder(parent);
            return;
        }
    }
    copyWithPasswords(member, parent.fd.get(), leaf, time);
}

// Traditional encryption has no fixed text encoding: a non-ASCII password that
// fails as UTF-8 is tried again as Latin-1. Encrypted members that fail their
// check are skipped, since a wrong password can pass the quick header check
// and only fail at the CRC.
void Extraction::copyWithPasswords(const Member& member, int folder, const QByteArray& leaf,
                                   const MemberTime& time) {
    const zip_uint16_t method = member.stat.encryption_method;
    const bool encrypted =
        (member.stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && method != ZIP_EM_NONE;
    QList<QByteArray> passwords{QByteArray()};
    if (encrypted) {
        if (options_.password.isEmpty()) {
            skip(EACCES);
            return;
        }
        passwords = {options_.password.toUtf8()};
        const QByteArray latin1 = options_.password.toLatin1();
        if (method == ZIP_EM_TRAD_PKWARE && latin1 != passwords.first())
            passwords.append(latin1);
    }
    CopyResult result;
    for (const QByteArray& password : std::as_const(passwords)) {
        result = copy(member, encrypted ? password.constData() : nullptr, folder, leaf, time);
        const bool retry =
            result.status == Copy::WrongPassword || (encrypted && result.status == Copy::Damaged);
        if (!retry)
            break;
    }
    switch (result.status) {
    case Copy::Done:
        return;
    case Copy::WrongPassword:
    case Copy::Unsupported:
        skip(EACCES);
        return;
    case Copy::Damaged:
        if (encrypted)
            skip(EACCES);
        else
            fail(kArchiveCorrupt, 0);
        return;
    case Copy::WriteFailed:
        fail(kWriteError, result.error);
        stop_ = true; // a full disk fails every later member too
        return;
    case Copy::CreateFailed:
        fail(kCreateError, result.error);
        return;
    case Copy::NoMemory:
        fail(kOutOfMemory, ENOMEM);
        stop_ = true;
        return;
    }
}

CopyResult Extraction::copy(const Member& member, const char* password, int folder,
                            const QByteArray& leaf, const MemberTime& time) {
    ZipFileHandle file(zip_fopen_index_encrypted(archive_, member.index, 0, password));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive_));
        zip_error_clear(archive_);
        return FromZipError(code);
    }
    TempFile temp(folder);
    if (!temp.create())
        return {Copy::CreateFailed, errno};
    zip_uint64_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buffer_.get(), kChunk);
        if (got < 0)
            return FromZipError(zip_error_code_zip(zip_file_get_error(file.get())));
        if (got == 0)
            break;
        if (!WriteAll(temp.fd(), buffer_.get(), got))
            return {Copy::WriteFailed, errno};
        total += zip_uint64_t(got);
    }
    if ((member.stat.valid & ZIP_STAT_SIZE) && total != member.stat.size)
        return {Copy::Damaged, 0};
    const mode_t mode = member.unixMode != 0 ? mode_t(member.unixMode & 0777) : temp.defaultMode();
    if (::fchmod(temp.fd(), mode) != 0)
        return {Copy::WriteFailed, errno};
    const struct timeval times[2] = {{time_t(time.seconds), 0}, {time_t(time.seconds), 0}};
    if (::futimes(temp.fd(), times) != 0)
        return {Copy::WriteFailed, errno};
    if (!temp.commit(leaf))
        return {errno == EIO || errno == ENOSPC || errno == EDQUOT ? Copy::WriteFailed
                                                                   : Copy::CreateFailed,
                errno};
    return {};
}

void Extraction::skip(int error) {
    if (!skipped_ && error_.number == 0 && error != 0)
        error_ = ErrnoError(error);
    skipped_ = true;
}

void Extraction::fail(quint16 result, int error) {
    if (hardResult_ == kOk)
        hardResult_ = result;
    if (error != 0 && error_.number == 0)
        error_ = ErrnoError(error);
}

void Extraction::failFolder(const FolderHandle& handle) {
    if (handle.state == StepState::Symlink)
        skip(ELOOP);
    else
        fail(kCreateError, handle.error);
}

} // namespace

ExtractOutcome ExtractMembers(const ExtractOptions& options) {
    return Extraction(options).run();
}

} // namespace tarvik::zipio
