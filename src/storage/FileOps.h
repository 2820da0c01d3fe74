#pragma once

#include "storage/PlatformError.h"

#include <QString>

// File operations of the runners, reporting failures as the platform's error
// number and text for the run log.
namespace tarvik {

// Copies `source` over `target` through a temporary sibling that is synced
// and renamed into place only when complete: a failed copy leaves the old
// target as it was. An existing target keeps its mode.
bool CopyFileReplacing(const QString& source, const QString& target, PlatformError& error);

// CopyFileReplacing for a `source` that is deleted next: when both are on one
// filesystem the file itself gets the target's name through a temporary
// sibling (hard link, mode set, synced, renamed into place), so no data is
// copied. Anything in the way of that (another filesystem, no hard links, a
// mode that would leave `source` read-only, `target` already being `source`)
// falls back to copying. Either way `source` keeps its name until deleted.
bool HandOverFileReplacing(const QString& source, const QString& target, PlatformError& error);

// Deletes a file; refuses one that is read-only (no owner write bit).
bool RemoveFile(const QString& path, PlatformError& error);

// Deletes the unfinished files a killed run left in `folder`: regular files of
// this user named `prefix` and exactly six letters or digits (the part mkstemp
// fills in). Only for names no running writer can be using.
void RemoveUnfinishedFiles(const QString& folder, const QString& prefix);

} // namespace tarvik

namespace tarvik {

// Copies `source` to `target` as a file readable and writable by its owner
// only (0600), as every new script file is (a script may hold a password).
// The copy is made in a temporary sibling, created with that mode, synced and
// renamed into place only when complete: a failed copy leaves no file, and
// whatever stood under `target` (an empty file) stays until the copy replaces it.
bool CopyFileOwnerOnly(const QString& source, const QString& target, PlatformError& error);

} // namespace tarvik
