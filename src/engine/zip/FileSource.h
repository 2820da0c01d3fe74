#pragma once

#include "engine/zip/SourceWalker.h"

#include <zip.h>

namespace tarvik::zipio {

// Which entry's file failed while the archive was written, and why.
struct SourceFailure {
    qsizetype entry = -1; // index in the entry list; -1 while none failed
    int error = 0;        // errno, or EIO when the file changed size
    bool changed = false; // the file grew or shrank after it was listed
};

// A libzip source reading one listed file. The file is opened only when libzip
// starts reading it during zip_close and closed when it is done, so one
// descriptor is open however many entries the archive has. It stays a regular
// file of the listed size or reading fails; the first failure of any source
// sharing `failure` is recorded there so the build can leave that entry out.
zip_source_t* CreateFileSource(zip_t* archive, const SourceEntry& entry, qsizetype index,
                               SourceFailure* failure);

} // namespace tarvik::zipio
