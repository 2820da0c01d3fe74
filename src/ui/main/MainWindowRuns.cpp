// The main window's runs: the marked scripts or one double-clicked script on
// the run controller's worker thread, their lines in the System Messages box,
// the progress bar, and Terminate.
#include "ui/main/MainWindow.h"

#include "platform/DialogService.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "ui/main/RunProgress.h"
#include "ui_MainWindow.h"

#include <QGuiApplication>
#include <QScrollBar>
#include <QTextCursor>

namespace tarvik {
namespace {

const QString kTerminatedLine = QStringLiteral("Script execution terminated by user.");
const QString kStoppingLine =
    QStringLiteral("Stopping after the current script. Press Terminate again to stop it now.");
const QString kStopQuestion =
    QStringLiteral("Stop the running script now? Nothing is copied or deleted.");

} // namespace

void MainWindow::runMarked() {
    if (scriptRunning())
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    ui_->messagesBox->clear();
    runInProgress_ = true;
    runKind_ = RunKind::Marked;
    for (QWidget* w : controls())
        w->setEnabled(false);
    QList<RunJob> jobs;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const ScriptRow& r = model_->row(row);
        if (r.marker == kSelectionMarker)
            jobs.append({r.id, r.fileName});
    }
    setProgress(0);
    ui_->runProgress->show();
    ui_->runButton->hide();
    ui_->messagesBox->setEnabled(true);
    // Greyed out, the file name on the bar would be hard to read.
    ui_->runProgress->setEnabled(true);
    ui_->terminateButton->show();
    ui_->terminateButton->setEnabled(true);
    runner_->start(jobs);
}

// The first press lets the running script end; a second one may cut it short.
void MainWindow::terminateRun() {
    if (runKind_ != RunKind::Marked || runner_->stopRequested())
        return;
    if (!runner_->terminateRequested()) {
        runner_->requestTerminate();
        appendLine(kStoppingLine);
        return;
    }
    // The script may end while the question is open; the stop then has nothing to do.
    if (dialogs_.confirm(this, kStopQuestion) && runKind_ == RunKind::Marked)
        runner_->requestStop();
}

void MainWindow::onListDoubleClicked(const QModelIndex& index) {
    if (!index.isValid() || scriptRunning())
        return;
    const ScriptRow row = model_->row(index.row());
    currentScriptFile_ = row.fileName;
    const QString path = scriptPath(row.fileName);
    if (!ScriptFileExists(path)) {
        dialogs_.reportError(this, QStringLiteral("Script file ") + path +
                                       QStringLiteral(" does not exist."));
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    runKind_ = RunKind::Single;
    // The window stays as it is, but nothing may start a second run, change
    // the list or close the window under the running script.
    enabledBeforeRun_.clear();
    for (QWidget* w : controls()) {
        enabledBeforeRun_.insert(w, w->isEnabled());
        if (w != ui_->messagesBox)
            w->setEnabled(false);
    }
    runner_->start({{row.id, row.fileName}});
}

void MainWindow::onJobStarting(const RunJob& job) {
    const QString start = now();
    const QString line =
        QStringLiteral("Script ") + job.fileName + QStringLiteral(" started ") + start + u'.';
    if (runKind_ == RunKind::Marked)
        appendLine(line);
    else
        ui_->messagesBox->setPlainText(line + u'\n');
    model_->setLastRun(model_->rowOfId(job.rowId), start);
}

void MainWindow::onJobFinished(const RunJob& job, quint16 result, int processed, int total) {
    const int row = model_->rowOfId(job.rowId);
    const QString head = QStringLiteral("Script ") + job.fileName;
    switch (result) {
    case kRunFinished:
        model_->setError(row, QString());
        appendLine(head + QStringLiteral(" finished ") + now() + u'.');
        break;
    case kRunScriptMissing:
        // The file is not there to take the mark.
        model_->setError(row, kSelectionMarker);
        appendLine(head + QStringLiteral(" aborted ") + now() +
                   QStringLiteral(". Script file does not exist."));
        break;
    case kRunAborted:
        model_->setError(row, kSelectionMarker);
        appendLine(head + QStringLiteral(" aborted due to error at ") + now() +
                   QStringLiteral(". Review file ") +
                   JoinPath(settings_.errorFilePath, QStringLiteral("errors.txt")) + u'.');
        break;
    default:
        break;
    }
    if (runKind_ == RunKind::Marked && total > 0)
        setProgress(processed * 100.0 / total);
}

void MainWindow::onRunEnded(bool terminated) {
    if (runKind_ == RunKind::Marked) {
        if (terminated)
            appendText(kTerminatedLine);
        for (QWidget* w : controls())
            w->setEnabled(true);
        setProgress(0);
        ui_->runProgress->hide();
        ui_->runButton->show();
        ui_->terminateButton->hide();
        ui_->terminateButton->setEnabled(false);
        runInProgress_ = false;
    } else if (runKind_ == RunKind::Single) {
        for (auto it = enabledBeforeRun_.cbegin(); it != enabledBeforeRun_.cend(); ++it)
            it.key()->setEnabled(it.value());
        enabledBeforeRun_.clear();
    }
    if (runKind_ != RunKind::None) {
        runKind_ = RunKind::None;
        QGuiApplication::restoreOverrideCursor();
    }
}

void MainWindow::setProgress(double percent) {
    SetRunProgress(ui_->runProgress, percent);
}

void MainWindow::appendText(const QString& text) {
    QTextCursor cursor(ui_->messagesBox->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    QScrollBar* bar = ui_->messagesBox->verticalScrollBar();
    bar->setValue(bar->maximum());
}

} // namespace tarvik
