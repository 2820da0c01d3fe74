#include "archive/ArchiveFile.h"

#include "archive/UniqueFd.h"
#include "storage/FileOps.h"

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace tarvik::zipio {

namespace {

constexpr size_t kBufferSize = 1 << 20;

struct ArchiveFileState {
    QByteArray path;
    QByteArray siblingStart; // the temporary sibling's path up to its random part
    QByteArray tempPath;     // set while a temporary sibling exists
    UniqueFd fd;
    zip_error_t error{};
    std::unique_ptr<char[]> buffer;
    qint64 bufferStart = 0; // file offset of buffer[0]
    size_t buffered = 0;    // bytes of buffer in use
    qint64 position = 0;    // where the next write goes
    qint64 end = 0;         // the archive's length so far
    qint64 fileOffset = 0;  // the descriptor's offset
    std::optional<BackgroundWriteback> writeback;

    zip_int64_t fail(int zipError, int systemError) {
        zip_error_set(&error, zipError, systemError);
        return -1;
    }

    // Plain write(2) after a seek only when needed: the file offset follows the
    // writes, and libzip seeks back only to finish local headers.
    bool writeAt(const char* data, size_t length, qint64 offset) {
        if (offset != fileOffset && ::lseek(fd.get(), off_t(offset), SEEK_SET) < 0)
            return false;
        fileOffset = offset;
        while (length > 0) {
            const ssize_t written = ::write(fd.get(), data, length);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                return false;
            data += written;
            length -= size_t(written);
            fileOffset += written;
        }
        return true;
    }

    bool flush() {
        if (buffered > 0 && !writeAt(buffer.get(), buffered, bufferStart))
            return false;
        buffered = 0;
        // The archive is synced where it is delivered (often this very file,
        // handed over under a new name): its data goes to the disk meanwhile.
        writeback->note(end);
        return true;
    }

    zip_int64_t beginWrite() {
        // O_EXCL with a fresh random name: the kernel applies the umask, as for
        // any new file.
        for (int tries = 0; tries < 16 && !fd.valid(); ++tries) {
            static const char kLetters[] =
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
            QByteArray candidate = siblingStart;
            for (int i = 0; i < 6; ++i)
                candidate += kLetters[QRandomGenerator::global()->bounded(62)];
            fd.reset(::open(candidate.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
            if (fd.valid())
                tempPath = candidate;
            else if (errno != EEXIST)
                return fail(ZIP_ER_TMPOPEN, errno);
        }
        if (!fd.valid())
            return fail(ZIP_ER_TMPOPEN, EEXIST);
        if (!buffer)
            buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
        bufferStart = position = end = fileOffset = 0;
        buffered = 0;
        writeback.emplace(fd.get());
        return 0;
    }

    zip_int64_t write(const void* data, zip_uint64_t length) {
        const qint64 bufferEnd = bufferStart + qint64(buffered);
        const bool inside = position >= bufferStart && position <= bufferEnd &&
                            position + qint64(length) <= bufferStart + qint64(kBufferSize);
        if (buffered > 0 && !inside && !flush())
            return fail(ZIP_ER_WRITE, errno);
        if (buffered == 0) {
            if (length >= kBufferSize) {
                if (!writeAt(static_cast<const char*>(data), size_t(length), position))
                    return fail(ZIP_ER_WRITE, errno);
                position += qint64(length);
                end = std::max(end, position);
                writeback->note(end);
                return zip_int64_t(length);
            }
            bufferStart = position;
        }
        const size_t at = size_t(position - bufferStart);
        std::memcpy(buffer.get() + at, data, size_t(length));
        buffered = std::max(buffered, at + size_t(length));
        position += qint64(length);
        end = std::max(end, position);
        return zip_int64_t(length);
    }

    zip_int64_t seekWrite(void* data, zip_uint64_t length) {
        const zip_int64_t to = zip_source_seek_compute_offset(
            zip_uint64_t(position), zip_uint64_t(end), data, length, &error);
        if (to < 0)
            return -1;
        position = to;
        return 0;
    }

    zip_int64_t commitWrite() {
        if (!flush())
            return fail(ZIP_ER_WRITE, errno);
        // A replaced archive keeps its permissions.
        struct stat old {};
        if (::stat(path.constData(), &old) == 0 && S_ISREG(old.st_mode) &&
            ::fchmod(fd.get(), old.st_mode & 07777) != 0)
            return fail(ZIP_ER_WRITE, errno);
        if (::close(fd.release()) != 0)
            return fail(ZIP_ER_CLOSE, errno);
        if (::rename(tempPath.constData(), path.constData()) != 0)
            return fail(ZIP_ER_RENAME, errno);
        tempPath.clear();
        return 0;
    }

    void discard() {
        fd.reset();
        if (!tempPath.isEmpty())
            ::unlink(tempPath.constData());
        tempPath.clear();
        buffered = 0;
    }
};

zip_int64_t ArchiveFileCallback(void* userdata, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
    auto* state = static_cast<ArchiveFileState*>(userdata);
    switch (command) {
    case ZIP_SOURCE_STAT:
        // Every build starts from nothing: libzip then never opens the old file.
        return state->fail(ZIP_ER_READ, ENOENT);
    case ZIP_SOURCE_BEGIN_WRITE:
        return state->beginWrite();
    case ZIP_SOURCE_WRITE:
        return state->write(data, length);
    case ZIP_SOURCE_SEEK_WRITE:
        return state->seekWrite(data, length);
    case ZIP_SOURCE_TELL_WRITE:
        return state->position;
    case ZIP_SOURCE_COMMIT_WRITE:
        return state->commitWrite();
    case ZIP_SOURCE_ROLLBACK_WRITE:
        state->discard();
        return 0;
    case ZIP_SOURCE_REMOVE:
        if (::unlink(state->path.constData()) != 0 && errno != ENOENT)
            return state->fail(ZIP_ER_REMOVE, errno);
        return 0;
    case ZIP_SOURCE_ACCEPT_EMPTY:
        return 0; // an archive without entries is removed, not written
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&state->error, data, length);
    case ZIP_SOURCE_FREE:
        state->discard();
        zip_error_fini(&state->error);
        delete state;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
            ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_BEGIN_WRITE,
            ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_WRITE,
            ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_SUPPORTS, ZIP_SOURCE_REMOVE,
            ZIP_SOURCE_ACCEPT_EMPTY, -1);
    default: // reading: never asked for, since there is no old archive
        return state->fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

} // namespace

zip_source_t* CreateArchiveFileSource(const QByteArray& path, zip_error_t* error) {
    auto* state = new ArchiveFileState;
    state->path = path;
    const qsizetype slash = path.lastIndexOf('/');
    state->siblingStart =
        path.left(slash + 1) +
        QFile::encodeName(TemporarySiblingPrefix(QFile::decodeName(path.mid(slash + 1))));
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function_create(ArchiveFileCallback, state, error);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
    }
    return source;
}

} // namespace tarvik::zipio
