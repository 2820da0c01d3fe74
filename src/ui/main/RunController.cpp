#include "ui/main/RunController.h"

#include "runner/BatchMode.h"
#include "runner/EmailStep.h"

#include <algorithm>

namespace tarvik {

ScriptWorker::ScriptWorker(const ProgramSettings& settings, const QString& tempFolder,
                           std::function<QDateTime()> clock)
    : context_(settings) {
    context_.tempFolder = tempFolder;
    if (clock)
        context_.clock = std::move(clock);
    // Called on the worker thread; the signal carries the line to the window.
    context_.messages = [this](const QString& line) { emit message(line); };
    context_.email = MakeEmailStep(context_);
    context_.logged = [this](const QString& line) { lines_.append(line); };
    // Dropped here, on the worker thread, so the window's queue never fills.
    context_.progress = [this](qint64 done, qint64 total, const QString& file) {
        if (sinceProgress_.isValid() && sinceProgress_.elapsed() < 1000 / kProgressPerSecond)
            return;
        sinceProgress_.start();
        emit progress(done, total, file);
    };
}

void ScriptWorker::run(quint64 ticket, const QString& fileName) {
    lines_.clear();
    sinceProgress_.invalidate();
    const quint16 result = RunScript(fileName, ScriptKindOfName(fileName), context_);
    report_.add(fileName, result, lines_);
    emit done(ticket, result);
}

void ScriptWorker::endRun() {
    SendFailureAlert(report_, context_);
    report_ = {};
}

RunController::RunController(const ProgramSettings& settings, const QString& tempFolder,
                             std::function<QDateTime()> clock, QObject* parent)
    : QObject(parent) {
    worker_ = new ScriptWorker(settings, tempFolder, std::move(clock));
    worker_->moveToThread(&thread_);
    connect(worker_, &ScriptWorker::message, this, &RunController::message, Qt::QueuedConnection);
    connect(worker_, &ScriptWorker::done, this, &RunController::onDone, Qt::QueuedConnection);
    connect(worker_, &ScriptWorker::progress, this, &RunController::onProgress,
            Qt::QueuedConnection);
    thread_.setObjectName(QStringLiteral("ScriptWorker"));
    thread_.start();
}

RunController::~RunController() {
    thread_.quit();
    thread_.wait();
    delete worker_;
}

bool RunController::start(const QList<RunJob>& jobs) {
    if (running_)
        return false;
    jobs_ = jobs;
    next_ = 0;
    terminateRequested_ = false;
    stopRequested_ = false;
    // No script runs: the previous run has ended.
    worker_->setStop(false);
    running_ = true;
    startNext();
    return true;
}

void RunController::requestTerminate() {
    if (running_)
        terminateRequested_ = true;
}

void RunController::requestStop() {
    if (running_ && terminateRequested_) {
        stopRequested_ = true;
        worker_->setStop(true);
    }
}

void RunController::onProgress(qint64 done, qint64 total, const QString& file) {
    if (!running_ || jobs_.isEmpty())
        return;
    const double inScript = total > 0 ? double(std::min(done, total)) / double(total) : 0.0;
    emit progress((next_ + inScript) * 100.0 / double(jobs_.size()), file);
}

void RunController::endRun(bool terminated) {
    running_ = false;
    // The alert's mail goes out on the worker thread, after the last script.
    ScriptWorker* worker = worker_;
    QMetaObject::invokeMethod(
        worker_, [worker] { worker->endRun(); }, Qt::QueuedConnection);
    emit runEnded(terminated);
}

void RunController::startNext() {
    if (next_ >= jobs_.size()) {
        endRun(false);
        return;
    }
    const RunJob job = jobs_.at(next_);
    emit jobStarting(job);
    const quint64 ticket = ++ticket_;
    ScriptWorker* worker = worker_;
    QMetaObject::invokeMethod(
        worker_, [worker, ticket, name = job.fileName] { worker->run(ticket, name); },
        Qt::QueuedConnection);
}

void RunController::onDone(quint64 ticket, quint16 result) {
    if (!running_ || ticket != ticket_)
        return;
    const RunJob job = jobs_.at(next_);
    ++next_;
    emit jobFinished(job, result, next_, int(jobs_.size()));
    if (terminateRequested_) {
        terminateRequested_ = false;
        endRun(true);
        return;
    }
    startNext();
}

} // namespace tarvik
