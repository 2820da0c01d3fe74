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
    record(keys::kLastRun, context_.timeStamp());
    return true;
}

void ScriptRun::record(const QString& key, const QString& value) {
    int error = 0;
    if (!WriteIni(keys::kOptions, key, value, scriptPath_, &error) &&
        ReadIni(keys::kOptions, key, QString(), scriptPath_) != value)
        log(QStringLiteral("  Unable to write ") + key + QStringLiteral(" to script file"),
            ErrorFromErrno(error));
}

void ScriptRun::log(const QString& text) {
    const QString line = context_.timeStamp() + QStringLiteral("  ") + scriptPath_ + text;
    log_.write(line);
    if (context_.logged)
        context_.logged(line);
}

void ScriptRun::log(const QString& text, const PlatformError& error) {
    log(text + ErrorTail(error));
}

quint16 ScriptRun::abort(const QString& text) {
    log(text);
    record(keys::kError, QStringLiteral("X"));
    log_.close(false);
    return kRunAborted;
}

quint16 ScriptRun::abort(const QString& text, const PlatformError& error) {
    return abort(text + ErrorTail(error));
}

quint16 ScriptRun::finish() {
    record(keys::kError, QString());
    log_.close(true);
    return kRunFinished;
}

} // namespace tarvik
