#include "runner/ZipRunner.h"

#include "archive/ArchiveCheck.h"
#include "archive/ZipEngine.h"
#include "runner/ArchiveVersions.h"
#include "runner/ResultText.h"
#include "runner/ScriptRun.h"
#include "runner/SourceCleanup.h"
#include "storage/FileLock.h"
#include "storage/FileOps.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/TempFolder.h"
#include "storage/ZipScript.h"

#include <QFileInfo>
#include <cerrno>

namespace tarvik {
namespace {

constexpr int kSameArchiveWaitMs = 30 * 60 * 1000;
const QString kCreating = QStringLiteral("creating zip file");

// An archive name must stay a plain file name: it is joined to the temporary
// folder and to every directory.
bool isPlainFileName(const QString& name) {
    return !name.contains(u'/') && !name.contains(u'\\') && name != u"." && name != u"..";
}

// After a good copy into `dir`: only the newest `keep` dated versions stay.
// One that cannot be deleted is logged and kept.
void removeSurplusVersions(ScriptRun& run, const QString& dir, const QString& zipFile, int keep) {
    PlatformError error;
    for (const QString& old : SurplusVersions(dir, zipFile, keep)) {
        if (!RemoveFile(old, error))
            run.log(QStringLiteral("  Unable to delete zip file ") + old, error);
    }
}

} // namespace

QDate EarliestDate(const QDate& modifiedDate) {
    return modifiedDate.isValid() ? modifiedDate : QDate(1980, 1, 1);
}

quint16 RunZipScript(const QString& scriptName, RunContext& ctx) {
    ScriptRun run(scriptName, ctx);
    if (!run.start())
        return kRunScriptMissing;

    // A script that is there but cannot be read is not a script without keys.
    int readError = 0;
    const std::optional<IniDocument> doc = LoadIniDocument(run.scriptPath(), &readError);
    if (!doc)
        return run.abort(QStringLiteral("  Aborted : Unable to read script file"),
                         ErrorFromErrno(readError));
    const ZipScript script = ReadZipScript(*doc);
    const ZipScriptOptions& o = script.options;
    if (o.fileSpecs.isEmpty())
        return run.abort(QStringLiteral("  Aborted : No file specs in script file to process."));
    if (o.directories.isEmpty())
        return run.abort(QStringLiteral("  Aborted : No directories in script file to process."));
    if (o.zipFile.isEmpty())
        return run.abort(QStringLiteral("  Aborted : No zip file in script file to process."));

    PlatformError error;
    if (!EnsurePrivateFolder(ctx.tempFolder, error))
        return run.abort(QStringLiteral("  Aborted : Unable to create directory ") + ctx.tempFolder,
                         error);

    ZipRequest request;
    for (const FileSpecEntry& entry : o.fileSpecs)
        request.patterns.append(entry.spec);
    if (const auto refused = RefusedPatterns(request.patterns))
        return run.abort(QStringLiteral("  Aborted : Unable to process file specs"), *refused);

    const QString archiveName = o.zipFile + QStringLiteral(".zip");
    const QString tempArchive = JoinPath(ctx.tempFolder, archiveName);
    const auto refusedPath =
        isPlainFileName(o.zipFile) ? RefusedArchivePath(tempArchive) : ErrorFromErrno(EINVAL);
    if (refusedPath)
        return run.abort(QStringLiteral("  Aborted : Unable to set zip file to ") + tempArchive,
                         *refusedPath);
    if (!CheckNameLength(tempArchive, error))
        return run.abort(QStringLiteral("  Aborted : Unable to set zip file to ") + tempArchive,
                         error);
    request.archivePath = tempArchive;
    request.level = CompressionLevel(o.compression);
    if (const auto refused = RefusedPassword(o.password))
        return run.abort(QStringLiteral("  Aborted : Unable to set zip file password"), *refused);
    request.password = o.password;
    request.storePaths = o.storePaths;
    request.recurse = o.storeSubDirs;
    request.earliest = EarliestDate(o.modifiedDate);
    request.includeHidden = o.includeHiddenFiles;
    request.folderEntries = o.includeDirectoryEntries;
    request.stop = &ctx.stop;
    request.progress = ctx.progress;
    // IncludeVolumeLabel has no meaning here: there are no volume labels.

    // Runs of scripts with the same archive name, in this or another process,
    // take turns: build, copy and delete happen under one lock.
    const FileLock sameArchive(JoinPath(ctx.tempFolder, LockFileName(archiveName)),
                               FileLock::Kind::File, kSameArchiveWaitMs);
    if (!sameArchive.isLocked())
        return run.abort(QStringLiteral("  Aborted due to error 180 : ") +
                         ResultText(180, kCreating));

    // What a killed run of this archive left unfinished: libzip's archive in
    // the temporary folder, copies in the directories. Only runs holding the
    // lock write such files, so none of them is in use.
    const QString unfinished = TemporarySiblingPrefix(archiveName);
    RemoveUnfinishedFiles(ctx.tempFolder, unfinished);
    for (const QString& dir : o.directories)
        RemoveUnfinishedFiles(dir, unfinished);

    // Versions are named after the time the run began building.
    const QString deliveredName =
        o.versions > 0 ? DatedArchiveName(o.zipFile, ctx.clock()) : archiveName;
    const ZipOutcome built = CreateArchive(request);
    // A stopped run leaves no archive of its own (a build cut short wrote
    // none) and copies and deletes nothing.
    const auto stopped = [&] {
        if (!built.archived.isEmpty() && !RemoveFile(tempArchive, error))
            run.log(QStringLiteral("  Unable to delete zip file ") + tempArchive, error);
        return run.abortStopped();
    };
    if (run.stopRequested())
        return stopped();
    const quint16 result = built.result;
    if (result != 0)
        return run.abort(QStringLiteral("  Aborted due to error ") + QString::number(result) +
                         QStringLiteral(" : ") + ResultText(result, kCreating));

    if (script.email.attachment || script.email.hyperLink) {
        if (ctx.email) {
            // The hyper-link names the file the directories receive.
            ZipScript mailed = script;
            mailed.options.zipFile = deliveredName.chopped(4); // without ".zip"
            ctx.email(mailed, tempArchive);
        }
        if (run.stopRequested())
            return stopped();
    }

    const qint64 archiveSize = QFileInfo(tempArchive).size();
    const QString tempCanonical = QFileInfo(tempArchive).canonicalFilePath();
    int goodCopies = 0;
    // Nothing is deleted on the strength of a copy whose bytes were not read:
    // the first copy is read back in full (every member decompressed and its
    // CRC checked) before it takes its name; a copy that fails counts as none,
    // and the next one is read back in its place. The others are checked for
    // size and structure.
    const CopyCheck check = [&](int fd, PlatformError& failure) {
        return goodCopies > 0 ? ArchiveCopyIsGood(fd, archiveSize, failure)
                              : ArchiveCopyReadsBack(fd, archiveSize, request.password, failure);
    };
    // A directory that is the temporary folder itself (by any name) holds the
    // temporary archive as its copy, which must then outlive the clean-up.
    bool tempIsACopy = false;
    for (qsizetype i = 0; i < o.directories.size(); ++i) {
        const QString& dir = o.directories.at(i);
        const QString target = JoinPath(dir, deliveredName);
        // The temporary archive is deleted after the last copy: that copy can
        // be the file itself under its new name instead of a copy of its bytes.
        const bool last = i + 1 == o.directories.size();
        if (last ? HandOverFileReplacing(tempArchive, target, error, check)
                 : CopyFileReplacing(tempArchive, target, error, check)) {
            ++goodCopies;
            tempIsACopy = tempIsACopy || QFileInfo(target).canonicalFilePath() == tempCanonical;
            if (o.versions > 0)
                removeSurplusVersions(run, dir, o.zipFile, o.versions);
        } else
            run.log(QStringLiteral("  Unable to copy zip file to ") + dir, error);
    }

    if (goodCopies == 0)
        return run.abort(QStringLiteral("  Aborted : No copy of the zip file was made. Kept ") +
                         tempArchive + QStringLiteral(" and the files marked for deletion."));

    if (!tempIsACopy && !RemoveFile(tempArchive, error))
        run.log(QStringLiteral("  Unable to delete zip file ") + tempArchive, error);

    for (const FileSpecEntry& entry : o.fileSpecs) {
        if (!entry.deleteMark)
            continue;
        if (!DeleteArchivedMatches(entry.spec, built.archived, error))
            run.log(QStringLiteral("  Unable to delete file ") + entry.spec, error);
    }
    return run.finish();
}

} // namespace tarvik
