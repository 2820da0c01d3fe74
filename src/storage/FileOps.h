#pragma once

#include "storage/PlatformError.h"

#include <QString>
#include <functional>
#include <optional>

// File operations of the runners, reporting failures as the platform's error
// number and text for the run log.
namespace tarvik {

// A check of a finished copy before it takes its name: given the copy, open
// for reading and synced, it answers false with `error` set to refuse it.
using CopyCheck = std::function<bool(int fd, PlatformError& error)>;

// Copies `source` over `target`: the copy is written without a name (a hidden
// temporary sibling where the file system has no unnamed files), synced,
// checked, and only then given the target's name, then the folder is synced.
// A failed or refused copy leaves the old target as it was, and success means
// the copy is on the disk. Before `check` the copy's cached pages are dropped,
// so the check reads what the disk (or the file server) holds. A link at
// `target` is replaced, never written through. A replaced regular file of the
// running user keeps its mode, without group and other write; anything else
// gets the umask's mode, at most 0644.
bool CopyFileReplacing(const QString& source, const QString& target, PlatformError& error,
                       const CopyCheck& check = {});

// CopyFileReplacing for a `source` that is deleted next: when both are on one
// filesystem the file itself (mode set, synced, checked) gets the target's name
// as a second name, so no data is copied. Anything in the way of that (another
// filesystem, no hard links, a mode that would leave `source` read-only,
// `target` already being `source`) falls back to copying. Either way `source`
// keeps its name until deleted.
bool HandOverFileReplacing(const QString& source, const QString& target, PlatformError& error,
                           const CopyCheck& check = {});

// Writes a file's data to the disk in the background as it grows, so the sync
// at its end finds little left to do: call note() after each write.
class BackgroundWriteback {
public:
    explicit BackgroundWriteback(int fd) : fd_(fd) {}
    void note(qint64 end); // the file's data now reaches `end`

private:
    static constexpr qint64 kStep = 8 << 20;
    int fd_;
    qint64 started_ = 0; // writeback was started for the data before this
};

// What tells a file from another that later took its name: device and inode,
// and the size and modification time it had when it was looked at.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOfOpenFile(int fd);
std::optional<FileIdentity> IdentityOfPath(const QString& path); // follows links

// The start of the names of the temporary siblings of a file named `fileName`
// (six letters or digits follow). Short and hidden, however long `fileName`
// is: a name the file system can hold never fails for want of room for its
// helpers. Taken from the name alone, so a later run finds what a killed run
// left (RemoveUnfinishedFiles).
QString TemporarySiblingPrefix(const QString& fileName);

// The name of the lock file guarding the work on a file named `fileName`,
// short for the same reason.
QString LockFileName(const QString& fileName);

// Fails with ENAMETOOLONG when the last part of `path` is longer than the
// file system of its (existing) folder takes.
bool CheckNameLength(const QString& path, PlatformError& error);

// Deletes a file; refuses one that is read-only (no owner write bit).
bool RemoveFile(const QString& path, PlatformError& error);
// The same for a path as the system spells it (its names need not be UTF-8).
bool RemoveFile(const QByteArray& path, PlatformError& error);

// Deletes the unfinished files a killed run left in `folder`: regular files of
// this user named `prefix` and exactly six letters or digits (the part mkstemp
// fills in). Only for names no running writer can be using.
void RemoveUnfinishedFiles(const QString& folder, const QString& prefix);

// CopyFileReplacing for a copy readable and writable by its owner only (0600),
// as every new script file is (a script may hold a password).
bool CopyFileOwnerOnly(const QString& source, const QString& target, PlatformError& error);

} // namespace tarvik
