#include "runner/ScriptRun.h"

#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ScriptKeys.h"

namespace tarvik {

QString ErrorTail(const PlatformError& error) {
    return QStringLiteral(". Error ") + QString::number(error.number) + QStringLiteral(" : ") +
           error.description;
}

ScriptRun::ScriptRun(const QString& scriptName, RunContext& context)
    : context_(context), scriptPath_(JoinPath(context.settings.scriptFilePath, scriptName)),
      log_(JoinPath(context.settings.errorFilePath, QStringLiteral("errors.txt")),
           context.settings.newErrorFile) {}

bool ScriptRun::start() {
    if (!ScriptFileExists(scriptPath_)) {
        log(QStringLiteral("  Script file does not exist."));
        log_.close(false);
        return false;
    }
    WriteIni(keys::kOptions, keys::kLastRun, context_.timeStamp(), scriptPath_);
    return true;
}

void ScriptRun::log(const QString& text) {
    log_.write(context_.timeStamp() + QStringLiteral("  ") + scriptPath_ + text);
}

void ScriptRun::log(const QString& text, const PlatformError& error) {
    log(text + ErrorTail(error));
}

quint16 ScriptRun::abort(const QString& text) {
    log(text);
    log_.close(false);
    WriteIni(keys::kOptions, keys::kError, QStringLiteral("X"), scriptPath_);
    return kRunAborted;
}

quint16 ScriptRun::abort(const QString& text, const PlatformError& error) {
    return abort(text + ErrorTail(error));
}

quint16 ScriptRun::finish() {
    log_.close(true);
    WriteIni(keys::kOptions, keys::kError, QString(), scriptPath_);
    return kRunFinished;
}

} // namespace tarvik
