#pragma once

#include <QString>

class QWidget;

namespace tarvik {

class DialogService;
struct PlatformError;

// Asks "Do you want to save your changes before closing this screen?" (Yes
// the default). True for Yes: the window stays open so that the user can save.
bool KeepOpenToSave(DialogService& dialogs, QWidget* owner);

// "<what> cannot hold the character "/". Please enter a different name.":
// the refusal of a name with a character no file name can hold (a
// character that does not show is named by its code, as U+0000).
QString UnusableNameText(const QString& what, QChar character);

// Reports a failed file operation in the form the run log uses for one:
// `what` (such as "Unable to delete file /x/a.zsc") + ". Error N : D".
void ReportFileError(DialogService& dialogs, QWidget* owner, const QString& what,
                     const PlatformError& error);

} // namespace tarvik
