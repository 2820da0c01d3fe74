#include "runner/BatchMode.h"

#include "runner/UnzipRunner.h"
#include "runner/ZipRunner.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ScriptKeys.h"
#include "storage/Wildcard.h"

#include <QDir>

namespace tarvik {
namespace {

enum class Kind { Zip, Unzip, Unknown };

Kind kindOf(const QString& name) {
    const QString ending = name.right(4).toLower();
    if (ending == u".zsc")
        return Kind::Zip;
    if (ending == u".usc")
        return Kind::Unzip;
    return Kind::Unknown;
}

QString scanPattern(const Command& command) {
    switch (command.mode) {
    case CommandMode::All:
        return QStringLiteral("*.?sc");
    case CommandMode::AllZip:
        return QStringLiteral("*.zsc");
    case CommandMode::AllUnzip:
        return QStringLiteral("*.usc");
    default:
        return command.text;
    }
}

} // namespace

void RecordRunResult(const QString& scriptPath, quint16 result) {
    if (result == kRunFinished)
        WriteIni(keys::kOptions, keys::kError, QString(), scriptPath);
    else if (result == kRunAborted)
        WriteIni(keys::kOptions, keys::kError, QStringLiteral("X"), scriptPath);
}

QStringList ScanScripts(const Command& command, const QString& scriptFolder) {
    const QString pattern = scanPattern(command);
    const QDir dir(scriptFolder.isEmpty() ? QString(kPathSeparator) : scriptFolder);
    QStringList names;
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        if (info.size() > 0 && MatchWildcard(pattern, info.fileName(), Qt::CaseInsensitive))
            names.append(info.fileName());
    }
    return names;
}

int RunBatch(const Command& command, RunContext& context) {
    const bool listMode = command.mode == CommandMode::List;
    const QStringList names = listMode ? SplitNameList(command.text)
                                       : ScanScripts(command, context.settings.scriptFilePath);
    bool aborted = false;
    bool nameProblem = false;
    for (const QString& name : names) {
        Kind kind = kindOf(name);
        if (command.mode == CommandMode::AllZip)
            kind = Kind::Zip;
        else if (command.mode == CommandMode::AllUnzip)
            kind = Kind::Unzip;
        if (kind == Kind::Unknown) {
            nameProblem = nameProblem || listMode;
            continue;
        }
        const quint16 result =
            kind == Kind::Zip ? RunZipScript(name, context) : RunUnzipScript(name, context);
        RecordRunResult(JoinPath(context.settings.scriptFilePath, name), result);
        aborted = aborted || result == kRunAborted;
        nameProblem = nameProblem || result == kRunScriptMissing;
    }
    if (aborted)
        return kExitAborted;
    return nameProblem ? kExitNameProblem : kExitAllFinished;
}

} // namespace tarvik
