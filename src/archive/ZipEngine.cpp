#include "archive/ZipEngine.h"

#include "archive/ArchiveWriter.h"
#include "archive/ErrorMap.h"
#include "archive/Extractor.h"
#include "archive/PropertyText.h"
#include "archive/SourceWalker.h"
#include "storage/PathText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <sys/stat.h>

namespace tarvik {

using namespace zipresult;

struct ZipEngine::Impl {
    QString filesToProcess;
    QString zipFile;
    QString password;
    int compressionLevel = 9;
    bool storePaths = false;
    QString includeSubdirectories = QStringLiteral("False");
    QString earliestDate = QStringLiteral("01011980");
    bool includeHiddenFiles = false;
    bool includeDirectoryEntries = false;
    bool includeVolumeLabel = false;
    qint16 overwriteMode = 1;
    QString extractFolder;
    int threads = 0;
    PlatformError lastError;
    ArchivedFiles archived;

    bool refuse(int error) {
        lastError = ErrorFromErrno(error);
        return false;
    }
};

ZipEngine::ZipEngine() : d(std::make_unique<Impl>()) {}
ZipEngine::~ZipEngine() = default;

bool ZipEngine::setFilesToProcess(const QString& patterns) {
    if (patterns.contains(QChar(0)))
        return d->refuse(EINVAL);
    d->filesToProcess = patterns;
    return true;
}

bool ZipEngine::setZipFile(const QString& archivePath) {
    if (archivePath.isEmpty() || archivePath.contains(QChar(0)) ||
        !QDir::isAbsolutePath(archivePath) || archivePath.endsWith(kPathSeparator))
        return d->refuse(EINVAL);
    if (QFile::encodeName(archivePath).size() >= PATH_MAX)
        return d->refuse(ENAMETOOLONG);
    d->zipFile = archivePath;
    return true;
}

bool ZipEngine::setPassword(const QString& password) {
    if (password.contains(QChar(0)))
        return d->refuse(EINVAL);
    d->password = password;
    return true;
}

void ZipEngine::setCompressionLevel(int level) {
    d->compressionLevel = level;
}
void ZipEngine::setStorePaths(bool on) {
    d->storePaths = on;
}
void ZipEngine::setIncludeSubdirectories(const QString& trueOrFalse) {
    d->includeSubdirectories = trueOrFalse;
}
void ZipEngine::setEarliestDate(const QString& digits) {
    d->earliestDate = digits;
}
void ZipEngine::setIncludeHiddenFiles(bool on) {
    d->includeHiddenFiles = on;
}
void ZipEngine::setIncludeDirectoryEntries(bool on) {
    d->includeDirectoryEntries = on;
}
void ZipEngine::setIncludeVolumeLabel(bool on) {
    d->includeVolumeLabel = on;
}
void ZipEngine::setOverwriteMode(qint16 mode) {
    d->overwriteMode = mode;
}
void ZipEngine::setExtractFolder(const QString& folder) {
    d->extractFolder = folder;
}
void ZipEngine::setThreadCount(int threads) {
    d->threads = qMax(0, threads);
}

QString ZipEngine::filesToProcess() const {
    return d->filesToProcess;
}
QString ZipEngine::zipFile() const {
    return d->zipFile;
}
QString ZipEngine::password() const {
    return d->password;
}
int ZipEngine::compressionLevel() const {
    return d->compressionLevel;
}
bool ZipEngine::storePaths() const {
    return d->storePaths;
}
QString ZipEngine::includeSubdirectories() const {
    return d->includeSubdirectories;
}
QString ZipEngine::earliestDate() const {
    return d->earliestDate;
}
bool ZipEngine::includeHiddenFiles() const {
    return d->includeHiddenFiles;
}
bool ZipEngine::includeDirectoryEntries() const {
    return d->includeDirectoryEntries;
}
bool ZipEngine::includeVolumeLabel() const {
    return d->includeVolumeLabel;
}
qint16 ZipEngine::overwriteMode() const {
    return d->overwriteMode;
}
QString ZipEngine::extractFolder() const {
    return d->extractFolder;
}
int ZipEngine::threadCount() const {
    return d->threads;
}
QString ZipEngine::extensionList() const {
    return QStringLiteral(".ZIP;.LZH;.ARC;.ARJ;.ZOO");
}

PlatformError ZipEngine::lastError() const {
    return d->lastError;
}
ArchivedFiles ZipEngine::archivedFiles() const {
    return d->archived;
}

// Collect the entry list first, then write it: the writer deflates the
// listed files on worker threads.
quint16 ZipEngine::CreateArchive(qint16 /*reserved*/) {
    d->lastError = {};
    d->archived.clear();
    const std::optional<bool> recurse = zipio::ParseTrueFalse(d->includeSubdirectories);
    const std::optional<QDate> earliest = zipio::ParseEarliestDate(d->earliestDate);
    if (d->zipFile.isEmpty() || !recurse || !earliest || d->compressionLevel < 0 ||
        d->compressionLevel > 9)
        return kInvalidProperties;

    zipio::WalkOptions walk;
    walk.recurse = *recurse;
    walk.includeHidden = d->includeHiddenFiles;
    walk.storePaths = d->storePaths;
    walk.folderEntries = d->includeDirectoryEntries;
    walk.earliest = QDateTime(*earliest, QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch();
    struct stat archiveStat {};
    if (::stat(QFile::encodeName(d->zipFile).constData(), &archiveStat) == 0) {
        walk.hasExcluded = true;
        walk.excludedDevice = quint64(archiveStat.st_dev);
        walk.excludedInode = quint64(archiveStat.st_ino);
    }
    zipio::WalkResult sources =
        zipio::CollectSources(zipio::SplitPatterns(d->filesToProcess), walk);
    d->lastError = sources.firstProblem;
    if (!sources.repeatedName.isEmpty())
        return kRepeatedNames;
    if (sources.fileCount == 0)
        return sources.unreadable > 0 ? kFilesSkipped : kNothingToDo;
    if (!QFileInfo(FolderOfPath(d->zipFile)).isDir()) {
        d->lastError = ErrorFromErrno(ENOENT);
        return kCreateError;
    }

    const zipio::WriteOutcome written = zipio::WriteArchive(
        d->zipFile, sources.entries, {d->compressionLevel, d->password.toUtf8(), d->threads});
    if (d->lastError.number == 0)
        d->lastError = written.error;
    if (written.written) {
        for (const zipio::SourceEntry& entry : sources.entries) {
            if (!entry.isFolder)
                d->archived.append({entry.diskPath, entry.size, entry.mtimeMs});
        }
    }
    if (written.result == kOk && sources.unreadable > 0)
        return kFilesSkipped;
    return written.result;
}

quint16 ZipEngine::ExtractArchive(qint16 mode) {
    d->lastError = {};
    if (d->zipFile.isEmpty() || mode < 0 || mode > 2 || !QDir::isAbsolutePath(d->extractFolder))
        return kInvalidProperties;
    zipio::ExtractOptions options;
    options.archivePath = d->zipFile;
    options.patterns = zipio::SplitPatterns(d->filesToProcess);
    options.password = d->password;
    options.replaceExisting = d->overwriteMode == 2;
    options.mode = mode;
    options.folder = d->extractFolder;
    options.threads = d->threads;
    const zipio::ExtractOutcome outcome = zipio::ExtractMembers(options);
    d->lastError = outcome.error;
    return outcome.result;
}

} // namespace tarvik
