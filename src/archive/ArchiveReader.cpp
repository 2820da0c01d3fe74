#include "archive/ArchiveReader.h"

#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik::zipio {

namespace {

constexpr zip_uint64_t kBlock = 128 * 1024;

struct ReaderState {
    int fd = -1;
    zip_uint64_t size = 0; // the file's size when it was opened
    zip_uint64_t position = 0;
    zip_error_t error{};
    std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(kBlock);
    zip_uint64_t blockStart = 0;
    zip_uint64_t blockLength = 0;

    zip_int64_t fail(int zipError, int systemError) {
        zip_error_set(&error, zipError, systemError);
        return -1;
    }

    // Bytes at `offset`, as many as one pread gives; 0 at the end of the file.
    zip_int64_t readAt(char* data, zip_uint64_t length, zip_uint64_t offset) {
        for (;;) {
            const ssize_t got = ::pread(fd, data, size_t(length), off_t(offset));
            if (got >= 0)
                return got;
            if (errno != EINTR)
                return fail(ZIP_ER_READ, errno);
        }
    }

    zip_int64_t read(char* data, zip_uint64_t length) {
        length = std::min(length, size - std::min(size, position));
        zip_uint64_t done = 0;
        while (done < length) {
            if (position >= blockStart && position < blockStart + blockLength) {
                const zip_uint64_t n = std::min(length - done, blockStart + blockLength - position);
                std::memcpy(data + done, block.get() + (position - blockStart), size_t(n));
                done += n;
                position += n;
                continue;
            }
            // Large reads go straight to the caller; small ones fill the block.
            const bool direct = length - done >= kBlock;
            const zip_int64_t got = direct ? readAt(data + done, length - done, position)
                                           : readAt(block.get(), kBlock, position);
            if (got < 0)
                return -1;
            if (got == 0)
                return fail(ZIP_ER_READ, EIO); // shorter than it was when opened
            if (direct) {
                done += zip_uint64_t(got);
                position += zip_uint64_t(got);
            } else {
                blockStart = position;
                blockLength = zip_uint64_t(got);
            }
        }
        return zip_int64_t(done);
    }
};

zip_int64_t ReaderCallback(void* userdata, void* data, zip_uint64_t length,
                           zip_source_cmd_t command) {
    auto* state = static_cast<ReaderState*>(userdata);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        state->position = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return state->read(static_cast<char*>(data), length);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &state->error);
        if (!st)
            return -1;
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE;
        st->size = state->size;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t to = zip_source_seek_compute_offset(state->position, state->size, data,
                                                              length, &state->error);
        if (to < 0)
            return -1;
        state->position = zip_uint64_t(to);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return zip_int64_t(state->position);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&state->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&state->error);
        delete state;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_SEEK,
            ZIP_SOURCE_TELL, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
    default:
        return state->fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

} // namespace

zip_t* OpenArchiveReader(int fd, int flags, zip_error_t* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        zip_error_set(error, ZIP_ER_READ, errno);
        return nullptr;
    }
    // libzip would take an empty file for an archive without entries.
    if (st.st_size == 0) {
        zip_error_set(error, ZIP_ER_NOZIP, 0);
        return nullptr;
    }
    auto* state = new ReaderState;
    state->fd = fd;
    state->size = zip_uint64_t(std::max<off_t>(st.st_size, 0));
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function_create(ReaderCallback, state, error);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(source, flags | ZIP_RDONLY, error);
    if (!archive)
        zip_source_free(source);
    return archive;
}

zip_t* OpenArchiveReader(int fd, int flags, int* failure) {
    zip_error_t error;
    zip_error_init(&error);
    zip_t* archive = OpenArchiveReader(fd, flags, &error);
    if (!archive) {
        const int system = zip_error_code_system(&error);
        *failure = zip_error_system_type(&error) == ZIP_ET_SYS && system != 0 ? system : EIO;
    }
    zip_error_fini(&error);
    return archive;
}

} // namespace tarvik::zipio
