#pragma once

#include "runner/CommandLine.h"
#include "runner/RunContext.h"

#include <QStringList>

namespace tarvik {

// Process exit codes of batch mode.
inline constexpr int kExitAllFinished = 0;
inline constexpr int kExitNameProblem = 1; // a named script missing, or no .zsc/.usc ending
inline constexpr int kExitAborted = 2;

// The script file names a scan mode finds in the script folder, in name
// order; zero-byte files are left out.
QStringList ScanScripts(const Command& command, const QString& scriptFolder);

// Runs the scripts the command names one after another, writes each script's
// Error marker from its result and returns the process exit code.
int RunBatch(const Command& command, RunContext& context);

// Writes the Error marker for one run result: cleared on 0, "X" on 2.
void RecordRunResult(const QString& scriptPath, quint16 result);

} // namespace tarvik
