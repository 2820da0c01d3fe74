#pragma once

#include "storage/ScriptFolder.h"

#include <QString>

class QWidget;

namespace tarvik {

class DialogService;

// Which file an editor's name box stands for. The box shows a script's name
// without its ending; while it shows the name the script was opened on (or
// last saved under), it stands for that very file, whatever further dots or
// letter case that file's name has ("week.v2.zsc", "DAILY.ZSC"), so saving
// never writes into another file. Any other name stands for the name with
// the kind's ending.
class ScriptFileName {
public:
    ScriptFileName(ScriptKind kind, const QString& scriptFolder);

    // The script is stored in `fileName` from now on (opened on, or saved as).
    void setStored(const QString& fileName);
    // What the name box shows for the stored file; empty while none is stored.
    const QString& storedName() const { return storedName_; }
    QString storedPath() const;

    // A script is stored, and `name` is not the name it is stored under.
    bool isRename(const QString& name) const;
    // The file name that `name` stands for, and that file's path.
    QString fileName(const QString& name) const;
    QString path(const QString& name) const;

private:
    const QString ending_;
    const QString folder_;
    QString storedFile_;
    QString storedName_;
};

// Deletes `path` when it exists; a failure is reported, and the file stays.
void RemoveScriptFile(DialogService& dialogs, QWidget* owner, const QString& path);

// After a renamed script was written whole under `newPath`: deletes the file
// it was stored in, unless both paths name one file (letter case alone, on a
// file system that ignores it).
void RemoveRenamedScript(DialogService& dialogs, QWidget* owner, const QString& oldPath,
                         const QString& newPath);

} // namespace tarvik
