#pragma once

#include "archive/ArchivedFile.h"
#include "archive/ResultCodes.h"
#include "storage/PlatformError.h"

#include <QString>
#include <QtGlobal>
#include <memory>

namespace tarvik {

// The one archive engine of the process. Properties keep their values between
// operations; a zip run sets the archive options, an unzip run only what
// extraction reads (files to process, archive path, password, overwrite mode,
// extraction folder), so extraction never depends on what a zip run left.
//
// Zipping (CreateArchive):
// - Each pattern is a path whose last part may hold '*' (any run) and '?' (one
//   character); a trailing ".*" also matches names without a dot. Letter case
//   counts. A relative pattern is taken from the working folder. A pattern
//   without wildcards that names a folder (or any pattern ending in '/') stands
//   for folder/'*'.
// - A name beginning with '.' is hidden: left out (files, and folders while
//   walking) unless hidden files are included. Symlinked folders are never
//   walked; a symlinked file is zipped as the file it points to when the link
//   (each link of a chain) and the file have one owner, else it is unreadable.
// - Folder entries are written only when subdirectories and paths are both on:
//   every folder walked gets one. With paths off names carry no folders, so no
//   folder entries are written.
// - Result 50 means no file matched: nothing is written and an archive already
//   at the path is left as it was. A source that cannot be read (a FIFO, a
//   dangling link, a file that vanishes or changes size while it is zipped) is
//   left out and the run ends with 40; the rest is still zipped. The archive
//   being written is never zipped into itself.
// - The earliest date must be mmddyyyy or mmddyy (20yy); anything else, an
//   include-subdirectories text other than True/False, a level outside 0-9 or
//   an empty archive path gives 130.
//
// Extracting (ExtractArchive):
// - A member pattern without a separator matches the member's last name part at
//   any depth; with one it matches the whole member path, and '*' then also runs
//   across separators. Letter case is ignored. No pattern at all selects
//   nothing; selecting nothing is result 0. An archive with no entries gives 50.
// - Backslashes in member names are read as separators. Members with an absolute
//   path, a drive letter, a ".." step, a symlink anywhere on their way below the
//   extraction folder, and symlink or device members are not written: they are
//   skipped and the run ends with 40.
// - Overwrite mode 2 replaces existing files; any other value keeps them.
// - An encrypted member that fails its check (wrong password, or damage that
//   cannot be told from it) is skipped with 40; a damaged plain member gives 110
//   at the end of the run, other members are still extracted.
// - The extraction folder must be an absolute path (else 130); missing folders
//   are created (510 when that fails).
class ZipEngine {
public:
    ZipEngine();
    ~ZipEngine();
    ZipEngine(const ZipEngine&) = delete;
    ZipEngine& operator=(const ZipEngine&) = delete;

    // Setters that can fail return false, keep the previous value and leave
    // lastError() describing why.
    // File patterns (zip) or member patterns (unzip), each followed by a CR;
    // refused (22) when the text holds a NUL.
    bool setFilesToProcess(const QString& patterns);
    // Refused when empty, relative, ending in '/' or holding a NUL (22), or
    // longer than the system allows (36).
    bool setZipFile(const QString& archivePath);
    bool setPassword(const QString& password); // empty: no password; refused with a NUL (22)

    void setCompressionLevel(int level); // 0 stored, 1-9 deflate
    void setStorePaths(bool on);
    void setIncludeSubdirectories(const QString& trueOrFalse); // "True" / "False"
    void setEarliestDate(const QString& digits);               // mmddyyyy or mmddyy (20yy)
    void setIncludeHiddenFiles(bool on);
    void setIncludeDirectoryEntries(bool on);
    void setIncludeVolumeLabel(bool on); // accepted, no effect on POSIX
    void setOverwriteMode(qint16 mode);  // 2 replaces, 1 keeps existing files
    void setExtractFolder(const QString& folder);
    // Threads that compress and extract; 0 (the default) takes TARVIK_THREADS
    // from the environment, else one per processor core. The archive's bytes
    // do not depend on it.
    void setThreadCount(int threads);

    QString filesToProcess() const;
    QString zipFile() const;
    QString password() const;
    int compressionLevel() const;
    bool storePaths() const;
    QString includeSubdirectories() const;
    QString earliestDate() const;
    bool includeHiddenFiles() const;
    bool includeDirectoryEntries() const;
    bool includeVolumeLabel() const;
    qint16 overwriteMode() const;
    QString extractFolder() const;
    int threadCount() const;
    QString extensionList() const; // ".ZIP;.LZH;.ARC;.ARJ;.ZOO"

    // The last failing setter's reason, or the first platform failure of the
    // last operation (each operation clears it when it starts).
    PlatformError lastError() const;

    // The files that went into the archive the last CreateArchive wrote (result
    // 0 or 40), as they were when listed; empty after any other outcome.
    ArchivedFiles archivedFiles() const;

    // Builds a fresh archive at zipFile() from the files to process.
    quint16 CreateArchive(qint16 reserved = 0);
    // Extracts the matching members into extractFolder(); mode 0 all,
    // 1 only members newer than the existing file, 2 newer or not existing.
    quint16 ExtractArchive(qint16 mode);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tarvik
