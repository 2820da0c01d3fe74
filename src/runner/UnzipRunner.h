#pragma once

#include "runner/RunContext.h"

#include <QString>

namespace tarvik {

// Runs one unzip script (file name with extension, inside the script folder):
// extracts the selected members into every directory in turn and, when the
// script says so and every extraction succeeded, deletes the archive.
// Failures become run log lines. Returns 0 finished, 1 script missing, 2 aborted.
quint16 RunUnzipScript(const QString& scriptName, RunContext& context);

} // namespace tarvik
