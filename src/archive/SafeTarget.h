#pragma once

#include "archive/UniqueFd.h"

#include <QByteArray>
#include <QStringList>
#include <sys/types.h>

namespace tarvik::zipio {

enum class StepState {
    Ok,
    Missing, // a step does not exist (and was not to be created)
    Symlink, // a step is a symbolic link: never followed
    Blocked, // a step exists but is not a folder
    Failed,  // the system refused (see error)
};

struct FolderHandle {
    StepState state = StepState::Failed;
    UniqueFd fd;
    int error = 0;
};

// Opens the folder reached by `steps` (names as NameText gives them) below
// the open folder `root`, one step at a time with O_NOFOLLOW, so no symbolic
// link is ever followed on the way and nothing outside `root` can be reached.
// With `create` missing steps are made.
FolderHandle OpenFolderBelow(int root, const QStringList& steps, bool create);

// A temporary file in an open folder, unnamed where the file system allows.
// commit() renames it over its final name; until then the final name is
// untouched, and a file never committed is removed on destruction.
class TempFile {
public:
    explicit TempFile(int folder) : folder_(folder) {}
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool create(); // false with errno set
    int fd() const { return fd_.get(); }
    mode_t defaultMode() const { return defaultMode_; } // 0666 less the umask
    // Closes the file (reporting late write errors) and renames it; false
    // with errno set.
    bool commit(const QByteArray& finalName);

private:
    int folder_;
    UniqueFd fd_;
    QByteArray name_;
    mode_t defaultMode_ = 0644;
    bool unnamed_ = false; // O_TMPFILE: no name until commit()
    bool created_ = false; // a name of its own exists in the folder
    bool committed_ = false;
};

} // namespace tarvik::zipio
