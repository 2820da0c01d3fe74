#pragma once

#include "storage/PlatformError.h"

#include <QString>

namespace tarvik {

// The private temporary folder of this user: /tmp/tarvik-<uid>.
QString DefaultTempFolder();

// Creates the folder with mode 0700 when missing. Refuses a symbolic link, a
// non-folder, or a folder owned by someone else; tightens a loose mode.
bool EnsurePrivateFolder(const QString& path, PlatformError& error);

} // namespace tarvik
