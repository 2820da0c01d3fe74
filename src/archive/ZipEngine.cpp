#include "archive/ZipEngine.h"

#include "archive/ArchiveWriter.h"
#include "archive/DeflatePool.h"
#include "archive/Extractor.h"
#include "archive/ProgressMeter.h"
#include "archive/SourceWalker.h"
#include "archive/WorkerThreads.h"
#include "storage/PathText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <functional>
#include <memory>
#include <sys/stat.h>

namespace tarvik {

using namespace zipresult;

namespace {

bool holdsNul(const QString& text) {
    return text.contains(QChar(0));
}

} // namespace

std::optional<PlatformError> RefusedPatterns(const QStringList& patterns) {
    for (const QString& pattern : patterns) {
        if (holdsNul(pattern))
            return ErrorFromErrno(EINVAL);
    }
    return std::nullopt;
}

std::optional<PlatformError> RefusedArchivePath(const QString& archivePath) {
    if (archivePath.isEmpty() || holdsNul(archivePath) || !QDir::isAbsolutePath(archivePath) ||
        archivePath.endsWith(kPathSeparator))
        return ErrorFromErrno(EINVAL);
    if (QFile::encodeName(archivePath).size() >= PATH_MAX)
        return ErrorFromErrno(ENAMETOOLONG);
    return std::nullopt;
}

std::optional<PlatformError> RefusedPassword(const QString& password) {
    if (holdsNul(password))
        return ErrorFromErrno(EINVAL);
    return std::nullopt;
}

// The walk lists the entries and the deflate workers start on each file as
// soon as it is listed; the writer then collects their output in list order.
ZipOutcome CreateArchive(const ZipRequest& request) {
    ZipOutcome outcome;
    if (RefusedArchivePath(request.archivePath) || !request.earliest.isValid() ||
        request.level < 0 || request.level > 9) {
        outcome.result = kInvalidProperties;
        return outcome;
    }

    zipio::WalkOptions walk;
    walk.recurse = request.recurse;
    walk.includeHidden = request.includeHidden;
    walk.storePaths = request.storePaths;
    walk.folderEntries = request.folderEntries;
    walk.earliest = QDateTime(request.earliest, QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch();
    struct stat archiveStat {};
    if (::stat(QFile::encodeName(request.archivePath).constData(), &archiveStat) == 0) {
        walk.hasExcluded = true;
        walk.excludedDevice = quint64(archiveStat.st_dev);
        walk.excludedInode = quint64(archiveStat.st_ino);
    }
    std::unique_ptr<zipio::DeflatePool> pool;
    std::function<void(const zipio::SourceEntry&)> listed;
    if (request.level > 0) {
        pool = std::make_unique<zipio::DeflatePool>(request.level,
                                                    zipio::WorkerThreads(request.threads));
        listed = [&pool](const zipio::SourceEntry& entry) { pool->add(entry); };
    }
    zipio::WalkResult sources = zipio::CollectSources(request.patterns, walk, listed);
    if (pool)
        pool->close();
    outcome.error = sources.firstProblem;
    if (!sources.repeatedName.isEmpty()) {
        outcome.result = kRepeatedNames;
        return outcome;
    }
    if (sources.fileCount == 0) {
        outcome.result = sources.unreadable > 0 ? kFilesSkipped : kNothingToDo;
        return outcome;
    }
    if (zipio::Stopped(request.stop)) {
        outcome.error = ErrorFromErrno(ECANCELED);
        outcome.result = kReadError;
        return outcome;
    }
    if (!QFileInfo(FolderOfPath(request.archivePath)).isDir()) {
        outcome.error = ErrorFromErrno(ENOENT);
        outcome.result = kCreateError;
        return outcome;
    }

    qint64 total = 0;
    for (const zipio::SourceEntry& entry : sources.entries)
        total += entry.size;
    zipio::ProgressMeter meter(request.progress, total);
    const zipio::WriteOutcome written = zipio::WriteArchive(
        request.archivePath, sources.entries,
        {request.level, request.password.toUtf8(), request.threads, request.stop, &meter},
        std::move(pool));
    if (outcome.error.number == 0)
        outcome.error = written.error;
    if (written.written) {
        for (const zipio::SourceEntry& entry : sources.entries) {
            if (!entry.isFolder)
                outcome.archived.append({entry.diskPath, entry.size, entry.mtimeMs});
        }
    }
    outcome.result =
        written.result == kOk && sources.unreadable > 0 ? kFilesSkipped : written.result;
    return outcome;
}

ExtractOutcome ExtractArchive(const ExtractRequest& request) {
    if (request.archivePath.isEmpty() || !QDir::isAbsolutePath(request.folder))
        return ExtractOutcome::make(kInvalidProperties, {});
    return zipio::ExtractMembers(request);
}

} // namespace tarvik
