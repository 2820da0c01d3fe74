#include "runner/SourceCleanup.h"

#include "storage/FileOps.h"
#include "storage/PathText.h"
#include "storage/Wildcard.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <cerrno>

namespace tarvik {

bool DeleteArchivedMatches(const QString& spec, const ArchivedFiles& archived,
                           PlatformError& error) {
    QHash<QString, const ArchivedFile*> byPath;
    for (const ArchivedFile& file : archived)
        byPath.insert(file.path, &file);

    const QString folder = FolderOfPath(spec);
    const QString pattern = spec.mid(folder.size() + 1);
    const QFileInfoList entries =
        QDir(folder.isEmpty() ? QString(kPathSeparator) : folder)
            .entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    bool matched = false;
    bool ok = true;
    for (const QFileInfo& info : entries) {
        if (!MatchWildcard(pattern, info.fileName(), Qt::CaseSensitive))
            continue;
        matched = true;
        const ArchivedFile* file = byPath.value(info.absoluteFilePath());
        if (!file || file->size != info.size() ||
            file->modifiedMs != info.lastModified().toMSecsSinceEpoch())
            continue;
        PlatformError failure;
        if (!RemoveFile(info.absoluteFilePath(), failure)) {
            error = failure;
            ok = false;
        }
    }
    if (!matched) {
        error = ErrorFromErrno(ENOENT);
        return false;
    }
    return ok;
}

} // namespace tarvik
