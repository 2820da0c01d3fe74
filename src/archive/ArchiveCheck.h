#pragma once

#include "archive/ResultCodes.h"
#include "storage/PlatformError.h"

#include <QString>

namespace tarvik {

// True when the copy has the expected size and its archive structure reads
// back consistent (central directory against local headers). On failure
// `error` says why in the platform's terms.
bool ArchiveCopyIsGood(const QString& copy, qint64 expectedSize, PlatformError& error);

} // namespace tarvik
