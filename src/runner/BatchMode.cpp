#include "runner/BatchMode.h"

#include "runner/FailureAlert.h"
#include "runner/RunLog.h"
#include "runner/UnzipRunner.h"
#include "runner/ZipRunner.h"
#include "storage/ScriptFolder.h"

#include <cstdio>

namespace tarvik {
namespace {

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

quint16 RunScript(const QString& scriptName, ScriptKind kind, RunContext& context) {
    switch (kind) {
    case ScriptKind::Zip:
        return RunZipScript(scriptName, context);
    case ScriptKind::Unzip:
        return RunUnzipScript(scriptName, context);
    case ScriptKind::Other:
        break;
    }
    return kRunScriptMissing;
}

QStringList ScanScripts(const Command& command, const QString& scriptFolder) {
    return ListScriptFolder(scriptFolder, scanPattern(command), true);
}

int RunBatch(const Command& command, RunContext& context) {
    const bool listMode = command.mode == CommandMode::List;
    const QStringList names = listMode ? SplitNameList(command.text)
                                       : ScanScripts(command, context.settings.scriptFilePath);
    bool aborted = false;
    bool nameProblem = false;
    // A scheduler mails or journals what a job prints: an aborted run's log
    // lines go to standard error as well, a finished run prints nothing.
    QStringList lines;
    RunReport report;
    context.logged = [&lines](const QString& line) { lines.append(line); };
    for (const QString& name : names) {
        lines.clear();
        ScriptKind kind = ScriptKindOfName(name);
        if (command.mode == CommandMode::AllZip)
            kind = ScriptKind::Zip;
        else if (command.mode == CommandMode::AllUnzip)
            kind = ScriptKind::Unzip;
        if (kind == ScriptKind::Other) {
            nameProblem = nameProblem || listMode;
            continue;
        }
        const quint16 result = RunScript(name, kind, context);
        report.add(name, result, lines);
        if (result == kRunAborted) {
            for (const QString& line : std::as_const(lines))
                std::fprintf(stderr, "%s\n", EscapeControls(line).toUtf8().constData());
            std::fflush(stderr);
        }
        aborted = aborted || result == kRunAborted;
        nameProblem = nameProblem || result == kRunScriptMissing;
    }
    context.logged = nullptr;
    SendFailureAlert(report, context);
    if (aborted)
        return kExitAborted;
    return nameProblem ? kExitNameProblem : kExitAllFinished;
}

} // namespace tarvik
