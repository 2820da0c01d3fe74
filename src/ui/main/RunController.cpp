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
}

void ScriptWorker::run(quint64 ticket, const QString& fileName) {
    const quint16 result = RunScript(fileName, ScriptKindOfName(fileName), context_);
    emit done(ticket, result);
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

void RunController::startNext() {
    if (next_ >= jobs_.size()) {
        running_ = false;
        emit runEnded(false);
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
        running_ = false;
        emit runEnded(true);
        return;
    }
    startNext();
}

} // namespace tarvik
