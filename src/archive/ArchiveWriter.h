#pragma once

#include "archive/DeflatePool.h"
#include "archive/ProgressMeter.h"
#include "archive/ResultCodes.h"
#include "archive/SourceWalker.h"
#include "storage/PlatformError.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace tarvik::zipio {

struct WriteOptions {
    int level = 9;       // 0 stored, 1-9 deflate
    QByteArray password; // UTF-8; empty writes no encryption, else WinZip AES-256
    int threads = 0;     // deflate workers; 0 picks WorkerThreads' default
    // A stop fails the build (ZIP_ER_CANCELLED, nothing written); may be null.
    const std::atomic<bool>* stop = nullptr;
    ProgressMeter* meter = nullptr; // counts the file bytes written; may be null
};

struct WriteOutcome {
    quint16 result = zipresult::kOk; // kFilesSkipped when entries had to be left out
    qsizetype skipped = 0;           // entries left out because their file failed
    bool written = false;            // the archive at the path is the new one
    PlatformError error;             // the first platform failure met
};

// Builds a fresh archive at `path` from `entries`, written in list order.
// Files are deflated on worker threads (DeflatePool) and libzip copies the
// finished streams, so the archive's bytes are the same for any thread count.
// The archive goes to a temporary sibling (ArchiveFile) renamed over `path` only
// when the whole archive is done, so a failed build leaves the old file as it
// was.
// An entry whose file cannot be read while writing (vanished, changed size,
// unreadable) is left out of `entries` and the archive built again from the
// rest; when no file entry is left nothing is written. On success `entries`
// holds what the archive holds.
// `started`, when given, is a closed pool of the same options already at work
// on `entries` (filled while they were listed); else the writer starts one.
WriteOutcome WriteArchive(const QString& path, std::vector<SourceEntry>& entries,
                          const WriteOptions& options,
                          std::unique_ptr<DeflatePool> started = nullptr);

} // namespace tarvik::zipio
