#pragma once

#include "archive/AesAuthentication.h"
#include "archive/ZipHandles.h"

#include <zip.h>

namespace tarvik::zipio {

// What reading (and writing out) one member came to.
enum class Copy {
    Done,
    WrongPassword,
    Unsupported,
    Damaged,
    WriteFailed,
    CreateFailed,
    NoMemory,
    Stopped
};

struct CopyResult {
    Copy status = Copy::Done;
    int error = 0;
};

CopyResult FromZipError(int code);

// One member's data read to its end and checked: by its CRC, which libzip
// checks at the end, or for an AE-2 member (CRC 0 by design) by its
// authentication code, checked from the archive's own bytes before the first
// byte is handed out. Data beyond the member's stated size, or short of it,
// is damage.
class MemberData {
public:
    // `password` is null for a member without encryption; `aes` the member's
    // entry in the archive's AES directory (null when unknown); `archiveFd`
    // the archive file libzip reads.
    MemberData(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat, const char* password,
               const AesMember* aes, int archiveFd);
    MemberData(const MemberData&) = delete;
    MemberData& operator=(const MemberData&) = delete;

    // Done while the data can be read; after a failed read, why.
    const CopyResult& result() const { return result_; }
    // Up to `size` bytes into `buffer`; 0 at the checked end, -1 on failure.
    zip_int64_t read(char* buffer, zip_uint64_t size);

private:
    zip_int64_t fail(Copy status);

    ZipFileHandle file_;
    CopyResult result_;
    bool ae2_ = false;
    bool sized_ = false;
    zip_uint64_t size_ = 0;
    zip_uint64_t total_ = 0;
};

} // namespace tarvik::zipio
