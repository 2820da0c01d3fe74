#include "ui/main/RunController.h"

#include "runner/BatchMode.h"
#include "runner/EmailStep.h"

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
}

void ScriptWorker::run(quint64 ticket, const QString& fileName) {
    lines_.clear();
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
    running_ = true;
    startNext();
    return true;
}

void RunController::requestTerminate() {
    if (running_)
        terminateRequested_ = true;
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
