#pragma once

#include "storage/IniDocument.h"

#include <QString>
#include <QStringList>

namespace tarvik {

enum class ExtractMode { All = 0, Newer = 1, NewerAndNonExisting = 2 };

// "all", "newer", "newer and non-existing" in any letter case; anything else is All.
ExtractMode ParseExtractMode(const QString& word);
QString ExtractModeText(ExtractMode mode);

struct UnzipScript {
    QString zipFile;       // full path without the ".zip" the runner appends
    QStringList fileSpecs; // member specs
    QStringList directories;
    QString password; // as typed; stored scrambled
    bool deleteArchive = false;
    bool overwrite = false;
    ExtractMode extract = ExtractMode::All;
    QString description;
    QString lastRun;
    QString error;
};

UnzipScript ReadUnzipScript(const IniDocument& doc);

// The unzip editor's save. When a list changed the file is written whole
// (other keys, LastRun and Error included, are dropped: `doc` is replaced);
// otherwise only the editor's own keys are replaced. Returns false, with the
// document unchanged, when a value cannot be stored.
bool WriteUnzipScript(IniDocument& doc, const UnzipScript& script, bool listsChanged);

// The archive an unzip script names: `zipFile` and ".zip". When no file has
// exactly that name, a file of the same folder whose name differs only in
// the ending's letter case (".ZIP", ".Zip") is taken, so an archive picked
// as "Data.ZIP" and stored as "Data" is found again.
QString ArchiveOfUnzipScript(const QString& zipFile);

} // namespace tarvik
