#pragma once

#include "archive/ArchiveRequests.h"

#include <optional>

namespace tarvik {

// The zip engine: two operations, each given one complete request.
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
// - A level outside 0-9, an invalid earliest date or an archive path that is
//   not absolute gives 130.
// - A stop (request.stop turning true) ends the build within a piece of at
//   most 1 MiB: nothing is written, an archive already at the path stays as it
//   was, and the result is not 0 (290). A stop that comes after the archive is
//   complete changes nothing: callers look at the flag themselves.
//
// Extracting (ExtractArchive):
// - Backslashes in member names are read as separators. Members with an absolute
//   path, a drive letter, a ".." step, a symlink anywhere on their way below the
//   extraction folder, and symlink or device members are not written: they are
//   skipped and the run ends with 40. Selecting nothing is result 0; an archive
//   with no entries gives 50.
// - Mode All takes every selected member, Newer only those newer than the
//   existing file, NewerAndNonExisting those newer or not there yet.
// - An encrypted member that fails its check (wrong password, or damage that
//   cannot be told from it) is skipped with 40; a damaged plain member gives 110
//   at the end of the run, other members are still extracted.
// - The extraction folder must be an absolute path (else 130); missing folders
//   are created (510 when that fails).
// - A stop keeps further members from starting and drops the file being
//   written (it never gets its name); files already named are whole. The run
//   then ends with 300 (ECANCELED) unless it was done anyway.
// - Progress counts the file bytes read (zipping) or written (extracting) of
//   those selected; it reaches the total when the operation succeeds.
ZipOutcome CreateArchive(const ZipRequest& request);
ExtractOutcome ExtractArchive(const ExtractRequest& request);

// The checks a runner makes on script values before it builds a request, in
// the order of its log lines; each gives the reason a value is refused.
// Patterns holding a NUL (22).
std::optional<PlatformError> RefusedPatterns(const QStringList& patterns);
// Archive paths that are empty, relative, end in '/' or hold a NUL (22), or are
// longer than the system allows (36).
std::optional<PlatformError> RefusedArchivePath(const QString& archivePath);
// Passwords holding a NUL (22).
std::optional<PlatformError> RefusedPassword(const QString& password);

} // namespace tarvik
