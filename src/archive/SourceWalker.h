#pragma once

#include "archive/ResultCodes.h"
#include "storage/PlatformError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace tarvik::zipio {

// One entry of the archive to build: a file to read, or a folder entry.
struct SourceEntry {
    QString name;        // entry name, '/'-separated; folder names end with '/'
    QByteArray diskPath; // path on disk as the system spells it
    bool isFolder = false;
    quint32 mode = 0; // st_mode of the file (of the target for symlinked files)
    qint64 size = 0;
    qint64 mtime = 0;   // seconds since the epoch
    qint64 mtimeMs = 0; // the same in milliseconds
};

struct WalkOptions {
    bool recurse = false;
    bool includeHidden = false;
    bool storePaths = false;
    bool folderEntries = false; // only used with recurse and storePaths
    qint64 earliest = 0;        // files modified before this time are left out
    // A file never to be zipped (the archive being replaced), by device and inode.
    bool hasExcluded = false;
    quint64 excludedDevice = 0;
    quint64 excludedInode = 0;
};

struct WalkResult {
    std::vector<SourceEntry> entries; // in the order they are to be written
    qsizetype fileCount = 0;          // entries that are files
    int unreadable = 0;               // matched but cannot be zipped
    PlatformError firstProblem;       // why the first of those was left out
    QString repeatedName;             // set when two different files share an entry name
};

// Collects the files (and folder entries) the patterns select. A folder is
// listed in name order, its files before its subfolders. The same path matched
// twice is taken once, and so is the same file (device and inode) reached under
// the same entry name.
WalkResult CollectSources(const QStringList& patterns, const WalkOptions& options);

} // namespace tarvik::zipio
