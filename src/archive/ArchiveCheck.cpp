#include "archive/ArchiveCheck.h"

#include "storage/FileOps.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <zip.h>

namespace tarvik {

bool ArchiveCopyIsGood(const QString& copy, qint64 expectedSize, PlatformError& error) {
    const QFileInfo info(copy);
    if (!info.exists()) {
        error = ErrorFromErrno(ENOENT);
        return false;
    }
    if (info.size() != expectedSize) {
        error = ErrorFromErrno(EIO);
        return false;
    }
    int code = 0;
    zip_t* archive =
        zip_open(QFile::encodeName(copy).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, code);
        const int system = zip_error_code_system(&ze);
        error = ErrorFromErrno(system != 0 ? system : EIO);
        zip_error_fini(&ze);
        return false;
    }
    zip_discard(archive);
    return true;
}

} // namespace tarvik
