#pragma once

#include <QByteArray>
#include <zip.h>

namespace tarvik::zipio {

// A libzip source to build a fresh archive at `path` through: libzip is told
// no archive is there yet, so an old file at the path is never read. The new
// archive goes to a temporary sibling (a short hidden name, see
// TemporarySiblingPrefix, created with the umask's permissions, or taking over
// the mode of the file it replaces) and is
// renamed over `path` only when libzip commits it; a build that fails removes
// it. Writes are gathered in a buffer, so libzip's small header writes and its
// seeks back to finish each local header cost no system calls.
// NULL with `error` set when out of memory.
zip_source_t* CreateArchiveFileSource(const QByteArray& path, zip_error_t* error);

} // namespace tarvik::zipio
