#pragma once

#include <QByteArray>
#include <sys/types.h>

namespace tarvik {

// Files written without a name (O_TMPFILE) and named only once complete: a
// process killed while writing leaves nothing behind, and no one ever sees
// half a file under a name.

// An unnamed file in the open folder `folder`, opened for `access` (O_WRONLY or
// O_RDWR) with `mode` (less the umask). -1 with errno set on failure; EOPNOTSUPP
// when the file system has no unnamed files or the system could not name one
// later (no /proc), so the caller falls back to a hidden name.
int OpenUnnamedFile(int folder, int access, mode_t mode);

// Gives the unnamed (or any) open file `fd` the name `name` in the open folder
// `folder`. Never replaces anything: fails with EEXIST when the name is taken.
bool NameUnnamedFile(int fd, int folder, const QByteArray& name);

// Six random letters and digits: the part of a temporary name that
// RemoveUnfinishedFiles recognises.
QByteArray RandomNamePart();

} // namespace tarvik
