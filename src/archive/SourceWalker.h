#pragma once

#include "archive/ResultCodes.h"
#include "storage/PlatformError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace tarvik::zipio {

// One entry of the archive to build: a file to read, or a folder entry.
struct SourceEntry {
    QByteArray name;     // entry name: the names' bytes, '/'-separated; folders end with '/'
    QByteArray diskPath; // path on disk as the system spells it
    bool isFolder = false;
    quint32 mode = 0; // st_mode of the file (of the target for symlinked files)
    qint64 size = 0;
    qint64 mtime = 0;   // seconds since the epoch
    qint64 mtimeMs = 0; // the same in milliseconds
    // The file the walk vetted (the target for symlinked files): reading takes
    // the data from this file only, whatever the path leads to by then.
    quint64 device = 0;
    quint64 inode = 0;
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
    QString repeatedName;             // set (readably) when two different files share an entry name
};

// Collects the files (and folder entries) the patterns select. A folder is
// listed in name order, its files before its subfolders. The same path matched
// twice is taken once, and so is the same file (device and inode) reached under
// the same entry name. Names are taken as the bytes they are, UTF-8 or not.
//
// A symbolic link to a file is followed only when every link on the way and
// the file have one owner (links another user planted must not hand a run as
// root a file that user cannot read); otherwise it counts as unreadable.
// Links to folders are never walked. Each folder is read through one open
// descriptor and a subfolder is entered only if it is still the folder that
// was listed, so renaming or swapping in links while the walk runs cannot
// lead it anywhere else.
//
// `listed`, when given, is told of each entry as soon as it is listed (in the
// order of the result's entries), so work on the files can start while the
// walk goes on.
WalkResult CollectSources(const QStringList& patterns, const WalkOptions& options,
                          const std::function<void(const SourceEntry&)>& listed = {});

} // namespace tarvik::zipio
