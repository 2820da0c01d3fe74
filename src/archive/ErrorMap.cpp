#include "archive/ErrorMap.h"

#include <cerrno>
#include <cstring>

namespace tarvik::zipio {

using namespace zipresult;

PlatformError LibzipError(zip_error_t* error) {
    if (zip_error_code_system(error) != 0 && zip_error_system_type(error) == ZIP_ET_SYS)
        return ErrorFromErrno(zip_error_code_system(error));
    return {0, QString::fromUtf8(zip_error_strerror(error))};
}

quint16 BuildResult(const zip_error_t* error) {
    const int system = zip_error_code_system(error);
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_MEMORY:
        return kOutOfMemory;
    case ZIP_ER_TMPOPEN:
        // Could not create the temporary sibling: the folder refuses new files.
        if (system == ENOENT || system == ENOTDIR || system == EACCES || system == EPERM ||
            system == EROFS)
            return kCreateError;
        return system == ENOSPC || system == EDQUOT ? kWriteError : kTemporaryFile;
    case ZIP_ER_OPEN:
    case ZIP_ER_RENAME:
    case ZIP_ER_EXISTS:
        return kCreateError;
    case ZIP_ER_WRITE:
    case ZIP_ER_CLOSE:
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL:
        return kWriteError;
    case ZIP_ER_REMOVE:
        return kTemporaryFile;
    case ZIP_ER_INVAL:
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_COMPNOTSUPP:
        return kInvalidProperties;
    default: // source read failures, zlib and internal errors
        return kReadError;
    }
}

quint16 OpenResult(const zip_error_t* error) {
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_NOENT:
        return kArchiveNotFound;
    case ZIP_ER_OPEN:
        return zip_error_code_system(error) == ENOENT ? kArchiveNotFound : kArchiveReadWrite;
    case ZIP_ER_READ:
        // The system failed to read it: the archive may well be sound.
        return kArchiveReadWrite;
    case ZIP_ER_MEMORY:
        return kOutOfMemory;
    default: // not a zip, inconsistent, truncated
        return kArchiveCorrupt;
    }
}

} // namespace tarvik::zipio
