#pragma once

#include "archive/UniqueFd.h"

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>
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

// A file being extracted into an open folder: unnamed while it is written where
// the file system allows (a process killed meanwhile leaves nothing), else
// under a hidden name readable by its owner only. Once complete it is given its
// final name by link() or replace(); a file never named is removed on
// destruction.
class TempFile {
public:
    explicit TempFile(int folder) : folder_(folder) {}
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // For content that is to get `mode` (permission bits; 0 for 0666 less the
    // umask). False with errno set.
    bool create(mode_t mode);
    int fd() const { return fd_.get(); }
    // After the last write: the file's mode (when the umask kept it from being
    // created so) and its modification and access time.
    bool finish(qint64 modified);
    // Gives the complete file `finalName` when no entry has that name: false
    // with EEXIST when one has, and nothing is replaced.
    bool link(const QByteArray& finalName);
    // Puts the complete file in place of the regular file named `finalName`.
    bool replace(const QByteArray& finalName);

private:
    bool close();

    int folder_;
    UniqueFd fd_;
    QByteArray name_;    // its hidden name, while it has one
    mode_t mode_ = 0;    // the mode finish() sets, when not 0
    bool named_ = false; // a hidden name of its own exists in the folder
};

} // namespace tarvik::zipio
