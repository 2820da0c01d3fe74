#pragma once

#include <QByteArray>
#include <QString>

namespace tarvik {

// An exclusive lock shared by every process and thread of this user, held
// until destruction. The kernel drops it when its holder dies, so a killed
// process never leaves a stale lock behind.
//
// The lock is taken on a lock file only its owner can open: a lock on
// anything other users can open (a folder, a file readable by all) would let
// them stall every writer. A File lock uses the named lock file; a Folder
// lock the file kFolderLockName inside the folder, and fails when the folder
// is missing. Lock files are created when missing and left in place, so that
// no two holders ever lock different files of the same name. A lock file
// that is a link, not a regular file, or belongs to someone other than this
// user or the folder's owner is refused; one of ours that others could open
// is made owner-only first.
class FileLock {
public:
    enum class Kind { Folder, File };
    static constexpr char kFolderLockName[] = ".tarvik.lock";

    // Waits at most `timeoutMs` for a holder to let go.
    FileLock(const QString& path, Kind kind, int timeoutMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isLocked() const { return locked_; }
    // Why the lock was not taken, as an errno value (EWOULDBLOCK: the wait ran out).
    int error() const { return error_; }

private:
    int fd_ = -1;
    bool locked_ = false;
    int error_ = 0;
};

// Takes an exclusive flock on `fd`, waiting at most `timeoutMs`. False with
// errno set when it was not taken (EWOULDBLOCK when the wait ran out).
bool LockWithin(int fd, int timeoutMs);

// Opens `path` with `flags`, creating it (mode 0600) when missing, never
// through a symbolic link (ELOOP then). A file root creates in another user's
// folder is given to that user, who could otherwise no longer open it.
// -1 with errno set on failure.
int OpenOrCreatePrivate(const QByteArray& path, int flags);

} // namespace tarvik
