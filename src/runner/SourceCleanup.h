#pragma once

#include "archive/ArchivedFile.h"
#include "storage/PlatformError.h"

namespace tarvik {

// Deletes the files of the spec's own folder that match its name pattern
// (subfolders are never touched) and that went into the archive unchanged:
// a file the filters left out, or one that changed after it was archived, is
// kept. False, with `error` set, when nothing matched or a deletion failed.
bool DeleteArchivedMatches(const QString& spec, const ArchivedFiles& archived,
                           PlatformError& error);

} // namespace tarvik
