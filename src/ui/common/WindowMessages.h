#pragma once

#include <QString>

class QWidget;

namespace tarvik {

class DialogService;
struct PlatformError;

// Asks "Do you want to save your changes before closing this screen?" (Yes
// the default). True for Yes: the window stays open so that the user can save.
bool KeepOpenToSave(DialogService& dialogs, QWidget* owner);

// Reports a failed file operation in the form the run log uses for one:
// `what` (such as "Unable to delete file /x/a.zsc") + ". Error N : D".
void ReportFileError(DialogService& dialogs, QWidget* owner, const QString& what,
                     const PlatformError& error);

} // namespace tarvik
