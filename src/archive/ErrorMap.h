#pragma once

#include "archive/ResultCodes.h"
#include "storage/PlatformError.h"

#include <zip.h>

namespace tarvik::zipio {

// The system error behind a libzip error when there is one, else libzip's text.
PlatformError LibzipError(zip_error_t* error);

// The result of a failed archive build (zip_open for writing, zip_file_add,
// zip_close) from libzip's error.
quint16 BuildResult(const zip_error_t* error);

// The result of a failed zip_open for reading.
quint16 OpenResult(const zip_error_t* error);

} // namespace tarvik::zipio
