#pragma once

#include "archive/ArchivedFile.h"
#include "archive/ResultCodes.h"
#include "storage/FileOps.h"
#include "storage/PlatformError.h"
#include "storage/UnzipScript.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

namespace tarvik {

// How far an operation has come: bytes of file data done of `total`, and the
// file at hand. Calls never overlap, and `done` never goes back.
using ProgressReport = std::function<void(qint64 done, qint64 total, const QString& file)>;

// Everything one archive build needs. The engine keeps nothing between
// builds: a request without a password builds an archive without one.
struct ZipRequest {
    // File specs: a path whose last part may hold '*' and '?'.
    QStringList patterns;
    QString archivePath;     // absolute; the archive is built fresh there
    int level = 9;           // 0 stored, 1-9 deflate
    QString password;        // empty: no encryption, else WinZip AES-256
    bool storePaths = false; // entry names keep their folders (without the root)
    bool recurse = false;    // walk the folders below each spec's folder
    // Files modified before this day's local midnight are left out.
    QDate earliest = QDate(1980, 1, 1);
    bool includeHidden = false;
    bool folderEntries = false; // with recurse and storePaths: an entry per folder walked
    int threads = 0;            // 0: TARVIK_THREADS from the environment, else one per core
    // Set from any thread to end the build soon; may be null.
    const std::atomic<bool>* stop = nullptr;
    ProgressReport progress; // may be empty
};

struct ZipOutcome {
    quint16 result = zipresult::kOk;
    PlatformError error; // the first platform failure met
    // The files the archive holds (result 0 or 40), as they were when listed.
    ArchivedFiles archived;
};

// Everything one extraction needs.
struct ExtractRequest {
    QString archivePath;
    // Member patterns; none selects nothing. Without a separator a pattern
    // matches the member's last name part at any depth, with one the whole
    // member path. Letter case is ignored.
    QStringList patterns;
    QString password;
    bool replaceExisting = false; // else existing files are kept
    ExtractMode mode = ExtractMode::All;
    QString folder;                          // absolute; created when missing
    int threads = 0;                         // as in ZipRequest
    const std::atomic<bool>* stop = nullptr; // as in ZipRequest
    ProgressReport progress;                 // may be empty
};

struct ExtractOutcome {
    quint16 result = zipresult::kOk;
    PlatformError error;  // the first platform failure met
    int extracted = 0;    // members written (files and folders)
    int keptByDate = 0;   // members left out by the newer-only modes
    int keptExisting = 0; // members whose file exists and is not to be replaced
    // The archive file that was read; empty when it could not be opened.
    std::optional<FileIdentity> archive;

    static ExtractOutcome make(quint16 result, PlatformError error) {
        ExtractOutcome outcome;
        outcome.result = result;
        outcome.error = std::move(error);
        return outcome;
    }
};

} // namespace tarvik
