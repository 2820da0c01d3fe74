#pragma once

#include "storage/PlatformError.h"

#include <QString>

namespace tarvik {

// Checks of a delivered copy of an archive, in the open file `fd` (read with
// pread: the descriptor's offset does not move). On failure `error` says why
// in the platform's terms: EIO for a copy that is not the archive it should be.

// The copy has the expected size and its archive structure reads back
// consistent (central directory against local headers).
bool ArchiveCopyIsGood(int fd, qint64 expectedSize, PlatformError& error);

// The copy has the expected size, libzip takes it for the same archive, every
// member's local header agrees with its central entry, and every member reads
// back in full, on all cores (threads as in ZipRequest): decompressed,
// decrypted with `password` where encrypted, and checked by its size and CRC,
// or an AE-2 member by its authentication code.
bool ArchiveCopyReadsBack(int fd, qint64 expectedSize, const QString& password,
                          PlatformError& error, int threads = 0);

} // namespace tarvik
