#pragma once

#include <utility>
#include <zip.h>

namespace tarvik::zipio {

// An open archive; discarded (no changes written) on destruction unless
// close() succeeded.
class ZipArchive {
public:
    explicit ZipArchive(zip_t* archive) : archive_(archive) {}
    ~ZipArchive() {
        if (archive_)
            zip_discard(archive_);
    }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    zip_t* get() const { return archive_; }
    explicit operator bool() const { return archive_ != nullptr; }
    // zip_close; on failure the archive stays open for its error and is
    // discarded later.
    bool close() {
        if (zip_close(archive_) != 0)
            return false;
        archive_ = nullptr;
        return true;
    }

private:
    zip_t* archive_;
};

// A member opened for reading.
class ZipFileHandle {
public:
    explicit ZipFileHandle(zip_file_t* file) : file_(file) {}
    ~ZipFileHandle() {
        if (file_)
            zip_fclose(file_);
    }
    ZipFileHandle(const ZipFileHandle&) = delete;
    ZipFileHandle& operator=(const ZipFileHandle&) = delete;

    zip_file_t* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

private:
    zip_file_t* file_;
};

// A source not yet handed to libzip; freed on destruction unless released
// (zip_file_add took it over).
class ZipSourceHandle {
public:
    explicit ZipSourceHandle(zip_source_t* source) : source_(source) {}
    ~ZipSourceHandle() {
        if (source_)
            zip_source_free(source_);
    }
    ZipSourceHandle(const ZipSourceHandle&) = delete;
    ZipSourceHandle& operator=(const ZipSourceHandle&) = delete;

    zip_source_t* get() const { return source_; }
    zip_source_t* release() { return std::exchange(source_, nullptr); }

private:
    zip_source_t* source_;
};

} // namespace tarvik::zipio
