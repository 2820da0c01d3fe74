#pragma once

#include <QString>

namespace tarvik {

// An exclusive lock shared by every process and thread of this user, held
// until destruction. The kernel drops it when its holder dies, so a killed
// process never leaves a stale lock behind.
//
// A Folder lock takes an existing folder as it is (and fails when it is
// missing); a File lock uses a lock file, created when missing and left in
// place, so that no two holders ever lock different files of the same name.
class FileLock {
public:
    enum class Kind { Folder, File };
    FileLock(const QString& path, Kind kind, int timeoutMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isLocked() const { return locked_; }

private:
    int fd_ = -1;
    bool locked_ = false;
};

} // namespace tarvik
