#include "runner/SourceCleanup.h"

#include "storage/FileNameText.h"
#include "storage/FileOps.h"
#include "storage/PathText.h"
#include "storage/Wildcard.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace tarvik {

namespace {

qint64 MilliTime(const struct stat& st) {
    return qint64(st.st_mtim.tv_sec) * 1000 + qint64(st.st_mtim.tv_nsec) / 1000000;
}

// The names in a folder as the system spells them: names that are not UTF-8
// must be found (and deleted) as well.
QList<QByteArray> FolderNames(const QByteArray& folder) {
    QList<QByteArray> names;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

} // namespace

bool DeleteArchivedMatches(const QString& spec, const ArchivedFiles& archived,
                           PlatformError& error) {
    QHash<QByteArray, const ArchivedFile*> byPath;
    for (const ArchivedFile& file : archived)
        byPath.insert(file.path, &file);

    const QString folder = FolderOfPath(spec);
    const QString pattern = spec.mid(folder.size() + 1);
    // Spelled as the zip walk spells the paths it lists.
    QByteArray base = QFile::encodeName(QDir::cleanPath(
        QDir::current().absoluteFilePath(folder.isEmpty() ? QString(kPathSeparator) : folder)));
    if (!base.endsWith('/'))
        base += '/';
    bool matched = false;
    bool ok = true;
    for (const QByteArray& name : FolderNames(base)) {
        if (!MatchWildcard(pattern, NameText(name), Qt::CaseSensitive))
            continue;
        const QByteArray path = base + name;
        struct stat st {};
        const bool known = ::stat(path.constData(), &st) == 0;
        if (known && S_ISDIR(st.st_mode))
            continue; // subfolders are never touched
        matched = true;
        const ArchivedFile* file = byPath.value(path);
        if (!known || !file || file->size != qint64(st.st_size) ||
            file->modifiedMs != MilliTime(st))
            continue;
        PlatformError failure;
        if (!RemoveFile(path, failure)) {
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
