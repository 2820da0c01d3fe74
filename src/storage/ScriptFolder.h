#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace tarvik {

// What a script file holds, told by its name's ending in any letter case:
// ".zsc" a zip script, ".usc" an unzip script.
enum class ScriptKind { Zip, Unzip, Other };
ScriptKind ScriptKindOfName(QStringView fileName);

// The ending a new script of that kind gets: ".zsc" or ".usc".
QString ScriptEnding(ScriptKind kind);

// The names of the files in the script folder that match `pattern` ('*' and
// '?', letter case ignored), in name order ignoring letter case. Zero-byte
// files are left out when `nonEmptyOnly`. An empty folder text is the root.
QStringList ListScriptFolder(const QString& scriptFolder, QStringView pattern, bool nonEmptyOnly);

} // namespace tarvik
