#pragma once

#include <zip.h>

namespace tarvik::zipio {

// Opens the archive in the open file `fd` for reading (`flags` as zip_open's)
// through a source of its own that reads with pread: the descriptor is only
// borrowed and its offset never moves, so any number of threads can each open
// the same file this way and read it at once. Reads go through a block buffer,
// so the small members of a large archive cost a system call per many members
// rather than a few each. An empty file is not an archive (ZIP_ER_NOZIP). NULL
// with `error` set on failure.
zip_t* OpenArchiveReader(int fd, int flags, zip_error_t* error);
// The same, with the failure as an errno: the system's, or EIO for a file
// libzip does not take for an archive.
zip_t* OpenArchiveReader(int fd, int flags, int* failure);

} // namespace tarvik::zipio
