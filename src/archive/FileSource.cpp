#include "archive/FileSource.h"

#include "archive/DeflatePool.h"
#include "archive/UniqueFd.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarvik::zipio {

namespace {

// What a file source tells libzip of itself: the file's size and time, the
// method its data comes in, no encryption of its own.
void fillStat(zip_stat_t* st, qint64 size, time_t mtime, zip_uint16_t method) {
    zip_stat_init(st);
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    st->size = zip_uint64_t(size);
    st->mtime = mtime;
    st->comp_method = method;
    st->encryption_method = ZIP_EM_NONE;
}

// The name progress reports give a file: its path, looked up only when a
// meter listens.
QString WatchedName(const BuildWatch* watch, const QByteArray& diskPath) {
    return watch && watch->meter && watch->meter->wanted() ? QFile::decodeName(diskPath)
                                                           : QString();
}

bool StopNow(const BuildWatch* watch, zip_error_t* error) {
    if (!watch || !Stopped(watch->stop))
        return false;
    zip_error_set(error, ZIP_ER_CANCELLED, 0);
    return true;
}

void Count(const BuildWatch* watch, qint64 bytes, const QString& file) {
    if (watch && watch->meter)
        watch->meter->advance(bytes, file);
}

struct FileState {
    SourceEntry entry;
    qsizetype index = 0;
    SourceFailure* failure = nullptr;
    zip_error_t error{};
    UniqueFd fd;
    qint64 remaining = 0;
    ReadAhead* ahead = nullptr;
    const BuildWatch* watch = nullptr;
    QString shownName;

    zip_int64_t fail(int zipError, int systemError, bool changed = false) {
        zip_error_set(&error, zipError, systemError);
        if (failure->entry < 0)
            *failure = {index, systemError, changed};
        return -1;
    }

    zip_int64_t open() {
        struct stat st {};
        if (const int problem = OpenListedFile(entry, fd, st))
            return fail(ZIP_ER_OPEN, problem, problem == kNotTheListedFile);
        remaining = entry.size;
        if (ahead)
            ahead->filled = ahead->used = 0;
        shownName = WatchedName(watch, entry.diskPath);
        Count(watch, 0, shownName);
        return 0;
    }

    zip_int64_t read(void* data, zip_uint64_t length) {
        if (!ahead)
            return readFile(data, length);
        if (ahead->used == ahead->filled) {
            const zip_int64_t got = readFile(ahead->data.get(), ReadAhead::kSize);
            if (got <= 0)
                return got;
            ahead->filled = size_t(got);
            ahead->used = 0;
        }
        const size_t n = size_t(std::min<zip_uint64_t>(length, ahead->filled - ahead->used));
        std::memcpy(data, ahead->data.get() + ahead->used, n);
        ahead->used += n;
        return zip_int64_t(n);
    }

    zip_int64_t readFile(void* data, zip_uint64_t length) {
        if (StopNow(watch, &error))
            return -1;
        if (remaining == 0) {
            // Reading on must find the end, else the file grew after it was listed.
            char probe = 0;
            ssize_t extra;
            do {
                extra = ::read(fd.get(), &probe, 1);
            } while (extra < 0 && errno == EINTR);
            if (extra < 0)
                return fail(ZIP_ER_READ, errno);
            return extra > 0 ? fail(ZIP_ER_READ, EIO, true) : 0;
        }
        const size_t wanted = size_t(std::min<zip_uint64_t>(length, zip_uint64_t(remaining)));
        ssize_t got;
        do {
            got = ::read(fd.get(), data, wanted);
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            return fail(ZIP_ER_READ, errno);
        if (got == 0)
            return fail(ZIP_ER_READ, EIO, true); // shrank
        remaining -= got;
        Count(watch, got, shownName);
        return got;
    }

    zip_int64_t stat(void* data, zip_uint64_t length) {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error);
        if (!st)
            return -1;
        fillStat(st, entry.size, time_t(entry.mtime), ZIP_CM_STORE);
        return sizeof(zip_stat_t);
    }
};

zip_int64_t FileCallback(void* userdata, void* data, zip_uint64_t length,
                         zip_source_cmd_t command) {
    auto* state = static_cast<FileState*>(userdata);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        return state->open();
    case ZIP_SOURCE_READ:
        return state->read(data, length);
    case ZIP_SOURCE_CLOSE:
        state->fd.reset();
        return 0;
    case ZIP_SOURCE_STAT:
        return state->stat(data, length);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&state->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&state->error);
        delete state;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_SUPPORTS, -1);
    default:
        zip_error_set(&state->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

// General purpose bits 1 and 2 tell how hard deflate tried; the same values
// libzip writes when it compresses itself.
zip_uint16_t DeflateLevelFlags(int level) {
    if (level <= 2)
        return 0x4;
    return level >= 8 ? 0x2 : 0x0;
}

struct DeflatedState {
    DeflatePool* pool = nullptr;
    size_t entry = 0;
    qint64 size = 0;
    time_t mtime = 0;
    SourceFailure* failure = nullptr;
    zip_error_t error{};
    size_t job = 0;
    size_t endJob = 0;
    size_t offset = 0; // into the current job's output
    uLong crc = 0;
    bool opened = false;
    bool finished = false;
    const BuildWatch* watch = nullptr;
    QByteArray diskPath;
    QString shownName;

    zip_int64_t fail(int zipError, int systemError, bool changed = false) {
        zip_error_set(&error, zipError, systemError);
        // Only a file that could not be read is left out; anything else
        // fails the whole build.
        const bool fileFault = zipError == ZIP_ER_OPEN || zipError == ZIP_ER_READ;
        if (fileFault && failure->entry < 0)
            *failure = {qsizetype(entry), systemError, changed};
        return -1;
    }

    zip_int64_t open() {
        if (opened) {
            // The pieces were handed back to the pool: they cannot be read twice.
            zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
        opened = true;
        job = pool->firstJob(entry);
        endJob = pool->firstJob(entry + 1);
        offset = 0;
        crc = crc32(0, nullptr, 0);
        shownName = WatchedName(watch, diskPath);
        Count(watch, 0, shownName);
        return 0;
    }

    zip_int64_t read(void* data, zip_uint64_t length) {
        while (job < endJob && length > 0) {
            if (StopNow(watch, &error))
                return -1;
            const DeflateResult& piece = pool->result(job);
            if (piece.zipError != 0)
                return fail(piece.zipError, piece.sysError, piece.changed);
            if (offset < piece.out.size()) {
                const size_t n = size_t(std::min<zip_uint64_t>(length, piece.out.size() - offset));
                std::memcpy(data, piece.out.data() + offset, n);
                offset += n;
                return zip_int64_t(n);
            }
            crc = crc32_combine(crc, piece.crc, z_off_t(pool->job(job).length));
            Count(watch, pool->job(job).length, shownName);
            pool->release(job);
            ++job;
            offset = 0;
        }
        finished = job == endJob;
        return 0;
    }

    zip_int64_t stat(void* data, zip_uint64_t length) {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error);
        if (!st)
            return -1;
        fillStat(st, size, mtime, ZIP_CM_DEFLATE);
        if (finished) {
            // libzip asks again once the data is copied and takes the CRC then.
            st->valid |= ZIP_STAT_CRC;
            st->crc = zip_uint32_t(crc);
        }
        return sizeof(zip_stat_t);
    }

    zip_int64_t attributes(void* data, zip_uint64_t length) {
        auto* attributes = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, data, length, &error);
        if (!attributes)
            return -1;
        attributes->valid |= ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
        attributes->general_purpose_bit_flags = DeflateLevelFlags(pool->level());
        attributes->general_purpose_bit_mask = 0x6;
        return 0;
    }
};

zip_int64_t DeflatedCallback(void* userdata, void* data, zip_uint64_t length,
                             zip_source_cmd_t command) {
    auto* state = static_cast<DeflatedState*>(userdata);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        return state->open();
    case ZIP_SOURCE_READ:
        return state->read(data, length);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT:
        return state->stat(data, length);
    case ZIP_SOURCE_GET_FILE_ATTRIBUTES:
        return state->attributes(data, length);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&state->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&state->error);
        delete state;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_GET_FILE_ATTRIBUTES,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_SUPPORTS, -1);
    default:
        zip_error_set(&state->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

zip_source_t* CreateFileSource(zip_t* archive, const SourceEntry& entry, qsizetype index,
                               SourceFailure* failure, ReadAhead* ahead, const BuildWatch* watch) {
    auto* state = new FileState;
    state->ahead = ahead;
    state->watch = watch;
    state->entry = entry;
    state->index = index;
    state->failure = failure;
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function(archive, FileCallback, state);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
    }
    return source;
}

zip_source_t* CreateDeflatedSource(zip_t* archive, const SourceEntry& entry, qsizetype index,
                                   DeflatePool* pool, SourceFailure* failure,
                                   const BuildWatch* watch) {
    auto* state = new DeflatedState;
    state->pool = pool;
    state->watch = watch;
    state->diskPath = entry.diskPath;
    state->entry = size_t(index);
    state->size = entry.size;
    state->mtime = time_t(entry.mtime);
    state->failure = failure;
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function(archive, DeflatedCallback, state);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
    }
    return source;
}

int OpenListedFile(const SourceEntry& entry, UniqueFd& fd, struct stat& st) {
    fd.reset(::open(entry.diskPath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (quint64(st.st_dev) != entry.device || quint64(st.st_ino) != entry.inode) {
        fd.reset();
        return kNotTheListedFile;
    }
    return 0;
}

} // namespace tarvik::zipio
