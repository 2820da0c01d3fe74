#pragma once

#include "runner/RunContext.h"
#include "runner/RunLog.h"
#include "storage/PlatformError.h"

#include <QString>

namespace tarvik {

// The parts both runners share: the script's full path, its run log, the
// shape of log lines, and the start of a run.
class ScriptRun {
public:
    ScriptRun(const QString& scriptName, RunContext& context);

    const QString& scriptPath() const { return scriptPath_; }
    RunContext& context() { return context_; }

    // Checks the script exists and stamps LastRun; false (after logging why)
    // when the script is missing or empty.
    bool start();

    // One log line: time stamp, two blanks, the script's path, `text`.
    void log(const QString& text);
    // `text` + "Error N : D".
    void log(const QString& text, const PlatformError& error);

    // The end of a run that got past start(): the script's Error marker is
    // set ("X") or cleared, then the log is closed.
    quint16 abort(const QString& text);
    quint16 abort(const QString& text, const PlatformError& error);
    quint16 finish();
    // The end of a run the user stopped.
    quint16 abortStopped() { return abort(QStringLiteral("  Aborted : Stopped by the user.")); }
    bool stopRequested() const { return context_.stop.load(); }

private:
    // Writes key = value (an empty value removes the key) into the script. A
    // write that could not be made is logged, unless the script holds that
    // value already: a read-only script without an Error marker needs none.
    void record(const QString& key, const QString& value);

    RunContext& context_;
    QString scriptPath_;
    RunLog log_;
};

QString ErrorTail(const PlatformError& error);

} // namespace tarvik
