#pragma once

#include "storage/ProgramSettings.h"

#include <QDateTime>
#include <QString>
#include <functional>

namespace tarvik {

struct ZipScript;

// What a runner needs from its caller: the window or batch mode.
struct RunContext {
    explicit RunContext(const ProgramSettings& s) : settings(s) {}

    const ProgramSettings& settings;
    // Lines for the System Messages box (the e-mail step's outcome); may be empty.
    std::function<void(const QString&)> messages;
    // The folder zip runs build their archives in.
    QString tempFolder;
    // The current local time; tests pass a fixed clock.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // Every run log line as it is written (batch mode repeats an aborted run's
    // lines on standard error); may be empty.
    std::function<void(const QString&)> logged;
    // The e-mail step of a zip run, given the script and the built archive.
    std::function<void(const ZipScript&, const QString& archive)> email;

    QString timeStamp() const { return FormatTimeStamp(clock(), settings.timeStampFormat); }
};

// Run results.
inline constexpr quint16 kRunFinished = 0;
inline constexpr quint16 kRunScriptMissing = 1;
inline constexpr quint16 kRunAborted = 2;

} // namespace tarvik
