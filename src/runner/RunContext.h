#pragma once

#include "storage/ProgramSettings.h"

#include <QDateTime>
#include <QString>
#include <atomic>
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
    // Set from another thread (the window's second Terminate) to stop the
    // running script soon; batch mode never sets it. The runners look at it
    // after building or extracting, never during the copy and delete steps.
    std::atomic<bool> stop{false};
    // How far the running script's archive work is: file bytes done of
    // `total`, the file at hand. Called on the threads doing the work, one
    // call at a time; may be empty.
    std::function<void(qint64 done, qint64 total, const QString& file)> progress;

    QString timeStamp() const { return FormatTimeStamp(clock(), settings.timeStampFormat); }
};

// Run results.
inline constexpr quint16 kRunFinished = 0;
inline constexpr quint16 kRunScriptMissing = 1;
inline constexpr quint16 kRunAborted = 2;

} // namespace tarvik
