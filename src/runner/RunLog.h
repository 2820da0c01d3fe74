#pragma once

#include <QByteArray>
#include <QString>

namespace tarvik {

// The run log errors.txt for one run. Opened when the run starts (emptied
// first when `startAfresh`), each line written through at once, closed on
// every way out. A log that cannot be opened loses its lines silently; one
// that is a symbolic link is never followed, and says so on standard error.
// A log Tarvik creates is readable by its owner only (it names every script
// and folder), and one of ours that others can open is made so.
//
// Runs in other processes share the file: each line is written under a lock
// on it, and a finished run deletes an empty log only under that lock, so a
// line of another run is never lost with it. A lock held elsewhere for more
// than a few seconds is not waited for again: lines then go in without it,
// and an empty log stays.
// The line with its control characters escaped: \r, \n, \t, others as \xNN.
QString EscapeControls(const QString& line);

class RunLog {
public:
    RunLog(const QString& path, bool startAfresh);
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Appends `line` and CR LF in one write, so lines of two processes never
    // mix. Control characters show escaped (\r, \n, \t, \xNN), so that no
    // name can forge a line or send escape sequences to a terminal.
    void write(const QString& line);

    // Closes the log; after a finished run a log of zero bytes is deleted.
    void close(bool runFinished);

private:
    bool lock();

    QByteArray path_;
    int fd_ = -1;
    bool lockWaitedInVain_ = false;
};

} // namespace tarvik
