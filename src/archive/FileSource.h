#pragma once

#include "archive/ProgressMeter.h"
#include "archive/SourceWalker.h"

#include <QtGlobal>
#include <cerrno>
#include <memory>

#include <sys/stat.h>
#include <zip.h>

namespace tarvik::zipio {

// Which entry's file failed while the archive was written, and why.
struct SourceFailure {
    qsizetype entry = -1; // index in the entry list; -1 while none failed
    int error = 0;        // errno, or EIO when the file changed size
    bool changed = false; // the file grew or shrank after it was listed
};

// A buffer the file sources of one archive share, so that files are read in
// large blocks though libzip asks for 8 KiB at a time. libzip reads one source
// after the other, never two at once, so one buffer serves them all.
struct ReadAhead {
    static constexpr size_t kSize = 256 * 1024;
    std::unique_ptr<char[]> data = std::make_unique_for_overwrite<char[]>(kSize);
    size_t filled = 0;
    size_t used = 0;
};

// A libzip source reading one listed file. The file is opened only when libzip
// starts reading it during zip_close and closed when it is done, so one
// descriptor is open however many entries the archive has. It stays a regular
// file of the listed size or reading fails; the first failure of any source
// sharing `failure` is recorded there so the build can leave that entry out.
// With `ahead` the file is read through that buffer. With `watch` the bytes
// read are counted, and a stop fails the read with ZIP_ER_CANCELLED (not a
// file failure: nothing is recorded in `failure`).
zip_source_t* CreateFileSource(zip_t* archive, const SourceEntry& entry, qsizetype index,
                               SourceFailure* failure, ReadAhead* ahead = nullptr,
                               const BuildWatch* watch = nullptr);

class UniqueFd;

// Opens a listed file for reading without following it into a FIFO or a
// terminal: 0 when `fd` holds the very file the walk vetted (its stat in
// `st`), else the errno: EISDIR or EINVAL when it is no longer a regular file,
// kNotTheListedFile when the path now leads to another file (renamed over,
// or a link swapped in since the walk).
inline constexpr int kNotTheListedFile = ESTALE;
int OpenListedFile(const SourceEntry& entry, UniqueFd& fd, struct stat& st);

class DeflatePool;

// A libzip source handing over the deflate stream `pool` makes of entry
// `index`, declared as already compressed so libzip copies it (encrypting
// it when asked) instead of compressing it again. The pool reads the file;
// its failures are reported and recorded like those of CreateFileSource.
// The pieces are taken and released in order, so the archive's entries must
// be written in list order, each read once. `watch` as for CreateFileSource,
// counted and checked piece by piece.
zip_source_t* CreateDeflatedSource(zip_t* archive, const SourceEntry& entry, qsizetype index,
                                   DeflatePool* pool, SourceFailure* failure,
                                   const BuildWatch* watch = nullptr);

} // namespace tarvik::zipio
