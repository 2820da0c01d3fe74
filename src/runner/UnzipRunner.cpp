#include "runner/UnzipRunner.h"

#include "archive/ZipEngine.h"
#include "runner/ResultText.h"
#include "runner/ScriptRun.h"
#include "storage/FileOps.h"
#include "storage/ProfileFile.h"
#include "storage/UnzipScript.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tarvik {

namespace {

// Extracted files are renamed into place without a sync of their own. Before
// the archive goes, everything written to the folder's file system is flushed,
// so a power cut cannot take the archive and leave empty files behind.
bool SyncFolderFileSystem(const QString& folder, PlatformError& error) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = ErrorFromErrno(errno);
        return false;
    }
    const bool synced = ::syncfs(fd) == 0;
    if (!synced)
        error = ErrorFromErrno(errno);
    ::close(fd);
    return synced;
}

// The archive goes only when something came out of it (a member written, or
// left out on purpose by a newer-only mode), only when it is still the file
// that was extracted, and only once the extracted files are on disk.
void deleteArchive(ScriptRun& run, const QString& archive, const QStringList& folders,
                   bool somethingTaken, bool unchanged) {
    if (!somethingTaken) {
        run.log(QStringLiteral("  Kept zip file ") + archive +
                QStringLiteral(": no file was extracted from it."));
        return;
    }
    if (!unchanged) {
        run.log(QStringLiteral("  Kept zip file ") + archive +
                QStringLiteral(": it changed while it was extracted."));
        return;
    }
    PlatformError error;
    bool synced = true;
    for (const QString& dir : folders)
        synced = synced && SyncFolderFileSystem(dir, error);
    if (!synced || !RemoveFile(archive, error))
        run.log(QStringLiteral("  Unable to delete zip file ") + archive, error);
}

} // namespace

quint16 RunUnzipScript(const QString& scriptName, RunContext& ctx) {
    ScriptRun run(scriptName, ctx);
    if (!run.start())
        return kRunScriptMissing;

    // A script that is there but cannot be read is not a script without keys.
    int readError = 0;
    const std::optional<IniDocument> doc = LoadIniDocument(run.scriptPath(), &readError);
    if (!doc)
        return run.abort(QStringLiteral("  Aborted : Unable to read script file"),
                         ErrorFromErrno(readError));
    const UnzipScript script = ReadUnzipScript(*doc);
    if (script.zipFile.isEmpty())
        return run.abort(QStringLiteral("  Aborted : No zip file in script file to process."));
    if (script.fileSpecs.isEmpty())
        return run.abort(QStringLiteral("  Aborted : No file specs in script file to process."));
    if (script.directories.isEmpty())
        return run.abort(QStringLiteral("  Aborted : No directories in script file to process."));

    if (const auto refused = RefusedPassword(script.password))
        return run.abort(QStringLiteral("  Aborted : Unable to set zip file password"), *refused);
    const QString archive = ArchiveOfUnzipScript(script.zipFile);
    if (const auto refused = RefusedArchivePath(archive))
        return run.abort(QStringLiteral("  Aborted : Unable to set zip file to ") + archive,
                         *refused);

    ExtractRequest request;
    request.archivePath = archive;
    request.password = script.password;
    request.replaceExisting = script.overwrite;
    request.mode = script.extract;
    request.patterns = script.fileSpecs;
    request.stop = &ctx.stop;
    // Each folder gets the whole archive: progress runs over them all.
    const qint64 folders = script.directories.size();
    qint64 folder = 0;
    if (ctx.progress)
        request.progress = [&](qint64 done, qint64 total, const QString& file) {
            ctx.progress(folder * total + done, folders * total, file);
        };
    // What the extractions came to, for the decision to delete the archive.
    int taken = 0;
    std::optional<FileIdentity> extracted;
    bool oneArchive = true;
    for (const QString& dir : script.directories) {
        if (const auto refused = RefusedPatterns(request.patterns))
            return run.abort(QStringLiteral("  Aborted : Unable to process file specs"), *refused);
        request.folder = dir;
        const ExtractOutcome outcome = ExtractArchive(request);
        ++folder;
        // What is extracted stays; the archive too.
        if (run.stopRequested())
            return run.abortStopped();
        taken += outcome.extracted + outcome.keptByDate;
        oneArchive =
            oneArchive && outcome.archive && (!extracted || *extracted == *outcome.archive);
        extracted = outcome.archive;
        const quint16 result = outcome.result;
        if (result != 0)
            return run.abort(QStringLiteral("  Aborted due to error ") + QString::number(result) +
                             QStringLiteral(" : ") +
                             ResultText(result, QStringLiteral("extracting files in zip file")));
    }

    if (script.deleteArchive)
        deleteArchive(run, archive, script.directories, taken > 0,
                      oneArchive && IdentityOfPath(archive) == extracted);
    return run.finish();
}

} // namespace tarvik
