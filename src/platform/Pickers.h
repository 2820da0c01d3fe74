#pragma once

#include <QString>

class QWidget;

namespace tarvik {

class DialogService;
struct ProgramSettings;

// Filters as the windows write them: description and pattern pairs joined by "|".
inline constexpr char16_t kAllFilesFilter[] = u"All Files (*.*)|*.*";
inline constexpr char16_t kZipFilesFilter[] = u"Zip Files (*.zip)|*.zip";

// Turns a "description|pattern[|description|pattern...]" filter, with or
// without a trailing "|", into Qt's "Description (patterns);;..." form. The
// pattern "*.*" means every file, so it becomes "*" (a POSIX name need not
// have a dot). The dialogs match patterns without regard to letter case, so
// "*.zip" also lists BACKUP.ZIP.
QString QtFileFilter(const QString& filter);

// The open-file dialog for one existing file: the chosen path trimmed of
// blanks, or "" when cancelled.
QString PickOpenFile(DialogService& dialogs, QWidget* owner, const QString& filter,
                     const QString& title, const QString& startFolder);

// The folder browser: the chosen folder's full path, or "" when cancelled.
QString PickFolder(DialogService& dialogs, QWidget* owner, const QString& title,
                   const QString& startFolder);

// A file pick as the editors and the options screen make it: starting at
// LastFolder, which then becomes the chosen file's folder; the path comes back
// cut at a NUL and passed through ToUncPath. "" when cancelled (LastFolder kept).
QString PickFileRemembering(DialogService& dialogs, QWidget* owner, ProgramSettings& settings,
                            const QString& filter, const QString& title);

// PickFileRemembering for a file that need not exist yet: the user may pick
// one or type a new name in a folder.
QString PickFileRememberingOrNew(DialogService& dialogs, QWidget* owner, ProgramSettings& settings,
                                 const QString& filter, const QString& title);

// A folder pick as the editors make it: starting at LastFolder, which then
// becomes the chosen folder; the path comes back through ToUncPath.
QString PickFolderRemembering(DialogService& dialogs, QWidget* owner, ProgramSettings& settings,
                              const QString& title);

} // namespace tarvik
