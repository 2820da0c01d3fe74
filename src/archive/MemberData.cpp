#include "archive/MemberData.h"

#include <cerrno>

namespace tarvik::zipio {

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

MemberData::MemberData(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat,
                       const char* password, const AesMember* aes, int archiveFd)
    : file_(zip_fopen_index_encrypted(archive, index, 0, password)) {
    if (!file_) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        zip_error_clear(archive);
        result_ = FromZipError(code);
        return;
    }
    sized_ = stat.valid & ZIP_STAT_SIZE;
    size_ = stat.size;
    // An AE-2 member is vouched for by its authentication code, checked here;
    // libzip's check of its CRC (0 by design) at the end is then set aside.
    // libzip and this reading must see the same member.
    ae2_ = password && aes && aes->version == 2;
    if (ae2_ && (aes->packedSize != stat.comp_size ||
                 !AesAuthenticates(archiveFd, *aes, QByteArray(password))))
        result_ = {Copy::Damaged, 0};
}

zip_int64_t MemberData::fail(Copy status) {
    result_ = {status, status == Copy::NoMemory ? ENOMEM : 0};
    return -1;
}

zip_int64_t MemberData::read(char* buffer, zip_uint64_t size) {
    if (result_.status != Copy::Done)
        return -1;
    const zip_int64_t got = zip_fread(file_.get(), buffer, size);
    if (got < 0) {
        const int code = zip_error_code_zip(zip_file_get_error(file_.get()));
        if (ae2_ && code == ZIP_ER_CRC && sized_ && total_ == size_)
            return 0;
        result_ = FromZipError(code);
        return -1;
    }
    if (got == 0)
        return sized_ && total_ != size_ ? fail(Copy::Damaged) : 0;
    total_ += zip_uint64_t(got);
    if (sized_ && total_ > size_)
        return fail(Copy::Damaged);
    return got;
}

} // namespace tarvik::zipio
