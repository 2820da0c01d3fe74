#pragma once

#include "runner/FailureAlert.h"
#include "runner/RunContext.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>

namespace tarvik {

// One script to run and the list row it belongs to.
struct RunJob {
    quint64 rowId = 0;
    QString fileName;
};

// Runs scripts on the worker thread, one call at a time. Lives on that thread;
// its signals reach the window queued.
class ScriptWorker : public QObject {
    Q_OBJECT
public:
    ScriptWorker(const ProgramSettings& settings, const QString& tempFolder,
                 std::function<QDateTime()> clock);

    // Runs the script with the zip or the unzip runner and reports `done`.
    void run(quint64 ticket, const QString& fileName);
    // Sends the failure alert for the scripts run since the last call, if
    // any aborted, and starts a new report.
    void endRun();
    // Called on any thread: the running script stops soon (or the next one
    // does not start stopped).
    void setStop(bool stop) { context_.stop = stop; }

signals:
    void message(const QString& line); // the e-mail step's lines
    // At most kProgressPerSecond a second, whatever the engine reports.
    void progress(qint64 done, qint64 total, const QString& file);
    void done(quint64 ticket, quint16 result);

private:
    static constexpr int kProgressPerSecond = 10;

    RunContext context_;
    QElapsedTimer sinceProgress_; // invalid until the running script's first report
    RunReport report_;
    QStringList lines_; // the running script's run log lines
};

// Hands scripts to the worker strictly one after another. A terminate request
// never interrupts a script: it is honoured when the running one has ended.
// Only a stop request, made after it, ends the running script early.
class RunController : public QObject {
    Q_OBJECT
public:
    RunController(const ProgramSettings& settings, const QString& tempFolder,
                  std::function<QDateTime()> clock, QObject* parent = nullptr);
    // Waits for the script that is running, if any.
    ~RunController() override;

    bool isRunning() const { return running_; }

    // Starts running `jobs` in order; refused (false) while a run is going.
    bool start(const QList<RunJob>& jobs);
    // Asks the run to stop after the script that is running now.
    void requestTerminate();
    bool terminateRequested() const { return terminateRequested_; }
    // Asks the running script to stop now (a build or an extraction is cut
    // short; copies and deletions end first). Only after requestTerminate.
    void requestStop();
    bool stopRequested() const { return stopRequested_; }

signals:
    void jobStarting(const tarvik::RunJob& job);
    // `processed` counts the finished jobs including this one.
    void jobFinished(const tarvik::RunJob& job, quint16 result, int processed, int total);
    void message(const QString& line);
    // How far the run is, as a percentage of all its jobs, and the file at hand.
    void progress(double percent, const QString& file);
    // The run is over: after the last job, or early when terminated.
    void runEnded(bool terminated);

private:
    void startNext();
    void endRun(bool terminated);
    void onDone(quint64 ticket, quint16 result);
    void onProgress(qint64 done, qint64 total, const QString& file);

    QThread thread_;
    ScriptWorker* worker_ = nullptr;
    QList<RunJob> jobs_;
    int next_ = 0;
    quint64 ticket_ = 0;
    bool running_ = false;
    bool terminateRequested_ = false;
    bool stopRequested_ = false;
};

} // namespace tarvik
