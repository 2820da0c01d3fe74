#include "archive/ArchiveWriter.h"

#include "archive/ArchiveFile.h"
#include "archive/DeflatePool.h"
#include "archive/ErrorMap.h"
#include "archive/ExtraFields.h"
#include "archive/FileSource.h"
#include "archive/WorkerThreads.h"
#include "archive/ZipHandles.h"
#include "storage/FileNameText.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <memory>

namespace tarvik::zipio {

using namespace zipresult;

namespace {

// Each rebuild leaves out at least one failed file; past this many the files
// are failing faster than archives can be built, and the run gives up.
constexpr int kMaxRebuilds = 8;

struct Attempt {
    quint16 result = kOk;
    PlatformError error;
    SourceFailure failure;
};

// The MS-DOS folder bit in the low byte of the external attributes.
constexpr zip_uint32_t kDosFolder = 0x10;

// Entries of deflated archives come from `pool`, stored ones through `ahead`.
bool AddEntry(zip_t* archive, const SourceEntry& entry, qsizetype index,
              const WriteOptions& options, DeflatePool* pool, ReadAhead* ahead,
              SourceFailure* failure, const BuildWatch* watch) {
    // A name that is not UTF-8 is stored as its bytes, without the UTF-8 flag
    // (libzip takes CP437 as "store these bytes"), and extracts as the same bytes.
    const zip_flags_t encoding = IsUtf8(entry.name) ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437;
    const char* name = entry.name.constData();
    zip_int64_t added;
    if (entry.isFolder) {
        added = zip_dir_add(archive, name, encoding);
    } else {
        ZipSourceHandle source(
            pool ? CreateDeflatedSource(archive, entry, index, pool, failure, watch)
                 : CreateFileSource(archive, entry, index, failure, ahead, watch));
        if (!source.get())
            return false;
        added = zip_file_add(archive, name, source.get(), encoding);
        if (added >= 0)
            source.release();
    }
    if (added < 0)
        return false;
    const auto at = zip_uint64_t(added);
    if (zip_file_set_mtime(archive, at, time_t(entry.mtime), 0) != 0)
        return false;
    const QByteArray timeField = UnixTimeField(entry.mtime);
    if (!timeField.isEmpty() &&
        zip_file_extra_field_set(archive, at, kUnixTimeFieldId, ZIP_EXTRA_FIELD_NEW,
                                 reinterpret_cast<const zip_uint8_t*>(timeField.constData()),
                                 zip_uint16_t(timeField.size()),
                                 ZIP_FL_LOCAL | ZIP_FL_CENTRAL) != 0)
        return false;
    const zip_uint32_t attributes =
        ((entry.mode & 0xffffu) << 16) | (entry.isFolder ? kDosFolder : 0u);
    if (zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX, attributes) != 0)
        return false;
    // A folder entry is stored, and said so: left at libzip's default method
    // it would get a deflate stream set up (and its memory cleared) for no
    // data at all, which costs more than the entry's whole write.
    const bool stored = options.level == 0 || entry.isFolder;
    if (zip_set_file_compression(archive, at, stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 zip_uint32_t(stored ? 0 : options.level)) != 0)
        return false;
    if (entry.isFolder)
        return true;
    if (!options.password.isEmpty() &&
        zip_file_set_encryption(archive, at, ZIP_EM_AES_256, options.password.constData()) != 0)
        return false;
    return true;
}

// libzip asks this while it writes, between the sources' reads too (for the
// central directory, and for data it encrypts itself).
int CancelWhenStopped(zip_t*, void* stop) {
    return Stopped(static_cast<const std::atomic<bool>*>(stop)) ? 1 : 0;
}

Attempt Failed(zip_error_t* error, const SourceFailure& failure = {}) {
    return {BuildResult(error), LibzipError(error), failure};
}

Attempt WriteOnce(const QByteArray& path, const std::vector<SourceEntry>& entries,
                  const WriteOptions& options, std::unique_ptr<DeflatePool> pool) {
    zip_error_t openError;
    zip_error_init(&openError);
    zip_source_t* file = CreateArchiveFileSource(path, &openError);
    ZipArchive archive(file ? zip_open_from_source(file, ZIP_CREATE | ZIP_TRUNCATE, &openError)
                            : nullptr);
    if (!archive) {
        if (file)
            zip_source_free(file);
        Attempt attempt = Failed(&openError);
        zip_error_fini(&openError);
        return attempt;
    }
    zip_error_fini(&openError);
    if (options.stop)
        zip_register_cancel_callback_with_state(archive.get(), CancelWhenStopped, nullptr,
                                                const_cast<std::atomic<bool>*>(options.stop));
    const BuildWatch watch{options.stop, options.meter};
    // Workers start deflating while the entries are added; libzip collects
    // their output in list order during zip_close. Stored entries need no
    // workers: libzip copies them from the files, read in large blocks.
    std::unique_ptr<ReadAhead> ahead;
    if (options.level == 0)
        ahead = std::make_unique<ReadAhead>();
    else if (!pool || pool->entryCount() != entries.size())
        pool =
            std::make_unique<DeflatePool>(entries, options.level, WorkerThreads(options.threads));
    SourceFailure failure;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!AddEntry(archive.get(), entries[i], qsizetype(i), options, pool.get(), ahead.get(),
                      &failure, &watch))
            return Failed(zip_get_error(archive.get()));
    }
    if (!archive.close())
        return Failed(zip_get_error(archive.get()), failure);
    return {};
}

} // namespace

WriteOutcome WriteArchive(const QString& path, std::vector<SourceEntry>& entries,
                          const WriteOptions& options, std::unique_ptr<DeflatePool> started) {
    const QByteArray target = QFile::encodeName(path);
    WriteOutcome outcome;
    for (int round = 0;; ++round) {
        if (round > 0 && options.meter)
            options.meter->restart();
        const Attempt attempt = WriteOnce(target, entries, options, std::move(started));
        if (attempt.result == kOk) {
            if (options.meter)
                options.meter->complete();
            outcome.written = true;
            outcome.result = outcome.skipped > 0 ? kFilesSkipped : kOk;
            return outcome;
        }
        const qsizetype failed = attempt.failure.entry;
        if (failed < 0 || round == kMaxRebuilds || Stopped(options.stop)) {
            outcome.result = failed < 0 ? attempt.result : kReadError;
            if (outcome.error.number == 0 && outcome.error.description.isEmpty())
                outcome.error = attempt.error;
            return outcome;
        }
        if (outcome.skipped++ == 0) {
            outcome.error =
                attempt.failure.changed
                    ? PlatformError{EIO, QStringLiteral("File changed while it was zipped")}
                    : ErrorFromErrno(attempt.failure.error);
        }
        entries.erase(entries.begin() + failed);
        const bool anyFile = std::any_of(entries.begin(), entries.end(),
                                         [](const SourceEntry& e) { return !e.isFolder; });
        if (!anyFile) {
            outcome.result = kFilesSkipped;
            return outcome;
        }
    }
}

} // namespace tarvik::zipio
