#pragma once

#include <QString>

namespace tarvik {

class DialogService;
struct ProgramSettings;

// What the script editors change in the main window's script list: they keep
// it in step with what they saved and never ask for a refresh.
class ScriptListAccess {
public:
    virtual ~ScriptListAccess() = default;
    // A new row, unmarked, for a script just created.
    virtual void addRow(const QString& fileName, const QString& type,
                        const QString& description) = 0;
    // The "File Name" and "Description" cells of the row the editor was opened on.
    virtual void setSelectedFileName(const QString& fileName) = 0;
    virtual void setSelectedDescription(const QString& description) = 0;
};

// What an editor is opened with: the settings (it reads the defaults and
// updates LastFolder), the dialogs, and the script list.
struct EditorContext {
    ProgramSettings& settings;
    DialogService& dialogs;
    ScriptListAccess& list;
};

} // namespace tarvik
