#include "engine/zip/FileSource.h"

#include "engine/zip/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarvik::zipio {

namespace {

struct FileState {
    QByteArray path;
    qint64 size = 0;
    time_t mtime = 0;
    qsizetype index = 0;
    SourceFailure* failure = nullptr;
    zip_error_t error{};
    UniqueFd fd;
    qint64 remaining = 0;

    zip_int64_t fail(int zipError, int systemError, bool changed = false) {
        zip_error_set(&error, zipError, systemError);
        if (failure->entry < 0)
            *failure = {index, systemError, changed};
        return -1;
    }

    zip_int64_t open() {
        fd.reset(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (!fd.valid())
            return fail(ZIP_ER_OPEN, errno);
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return fail(ZIP_ER_OPEN, errno);
        if (!S_ISREG(st.st_mode))
            return fail(ZIP_ER_OPEN, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        remaining = size;
        return 0;
    }

    zip_int64_t read(void* data, zip_uint64_t length) {
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
        return got;
    }

    zip_int64_t stat(void* data, zip_uint64_t length) {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error);
        if (!st)
            return -1;
        zip_stat_init(st);
        st->valid =
            ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
        st->size = zip_uint64_t(size);
        st->mtime = mtime;
        st->comp_method = ZIP_CM_STORE;
        st->encryption_method = ZIP_EM_NONE;
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

} // namespace

zip_source_t* CreateFileSource(zip_t* archive, const SourceEntry& entry, qsizetype index,
                               SourceFailure* failure) {
    auto* state = new FileState;
    state->path = entry.diskPath;
    state->size = entry.size;
    state->mtime = time_t(entry.mtime);
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

} // namespace tarvik::zipio
