#pragma once

#include "runner/CommandLine.h"
#include "runner/RunContext.h"
#include "storage/ScriptFolder.h"

#include <QStringList>

namespace tarvik {

// Process exit codes of batch mode.
inline constexpr int kExitAllFinished = 0;
inline constexpr int kExitNameProblem = 1; // a named script missing, or no .zsc/.usc ending
inline constexpr int kExitAborted = 2;

// The script file names a scan mode finds in the script folder, in name
// order ignoring letter case; zero-byte files are left out.
QStringList ScanScripts(const Command& command, const QString& scriptFolder);

// Runs the scripts the command names one after another and returns the
// process exit code.
int RunBatch(const Command& command, RunContext& context);

// Runs one script with the zip or the unzip runner; a script of another kind
// is not run (1). The runner records the result in the script itself.
quint16 RunScript(const QString& scriptName, ScriptKind kind, RunContext& context);

} // namespace tarvik
