#pragma once

#include "archive/ResultCodes.h"
#include "storage/PlatformError.h"

#include <QString>
#include <QStringList>

namespace tarvik::zipio {

struct ExtractOptions {
    QString archivePath;
    QStringList patterns; // member patterns; none selects nothing
    QString password;
    bool replaceExisting = false;
    int mode = 0;    // 0 all, 1 newer than the existing file, 2 newer or missing
    QString folder;  // absolute
    int threads = 0; // 0 picks WorkerThreads' default
};

struct ExtractOutcome {
    quint16 result = zipresult::kOk;
    PlatformError error; // the first platform failure met
};

// Extracts the selected members of the archive below options.folder. Each file
// is written to a temporary sibling and renamed over its target only once
// complete and its CRC (for AE-2 members: its authentication code) checked.
// Members of archives made on Unix are written under the bytes of their
// stored names, UTF-8 or not.
ExtractOutcome ExtractMembers(const ExtractOptions& options);

} // namespace tarvik::zipio
