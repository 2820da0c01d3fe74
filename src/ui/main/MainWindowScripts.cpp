// The main window's script commands: add, edit, delete, copy, view and the
// Options screen, each on the highlighted row's script file.
#include "ui/main/MainWindow.h"

#include "platform/DialogService.h"
#include "platform/TextViewer.h"
#include "platform/WaitCursor.h"
#include "storage/FileOps.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ScriptFolder.h"
#include "ui/common/WindowMessages.h"
#include "ui/editors/UnzipScriptEditor.h"
#include "ui/editors/ZipScriptEditor.h"
#include "ui/main/ScriptListAdapter.h"
#include "ui/main/ScriptTypeChooser.h"
#include "ui/options/OptionsDialog.h"
#include "ui_MainWindow.h"

namespace tarvik {

int MainWindow::rowOfExistingScript() {
    const int row = highlightedRow();
    if (row < 0)
        return -1;
    currentScriptFile_ = model_->row(row).fileName;
    const QString path = scriptPath(currentScriptFile_);
    if (!ScriptFileExists(path)) {
        dialogs_.reportError(this, QStringLiteral("Script file ") + path +
                                       QStringLiteral(" does not exist."));
        return -1;
    }
    return row;
}

void MainWindow::addScript() {
    addingNewScript_ = true;
    ScriptTypeChooser chooser(
        [this](bool zip) {
            if (zip)
                openZipEditor(true, {});
            else
                openUnzipEditor(true, {});
        },
        this);
    chooser.exec();
    if (model_->rowCount() > 0)
        afterRowsChanged();
}

void MainWindow::editScript() {
    addingNewScript_ = false;
    const int row = rowOfExistingScript();
    if (row < 0)
        return;
    if (model_->row(row).type == kZipType)
        openZipEditor(false, currentScriptFile_);
    else
        openUnzipEditor(false, currentScriptFile_);
}

void MainWindow::openUnzipEditor(bool adding, const QString& file) {
    UnzipScriptEditor editor(EditorContext{settings_, dialogs_, *listAdapter_}, adding, file, this);
    editor.exec();
}

void MainWindow::openZipEditor(bool adding, const QString& file) {
    ZipScriptEditor editor(EditorContext{settings_, dialogs_, *listAdapter_}, adding, file, this);
    editor.exec();
}

void MainWindow::deleteScript() {
    const int row = rowOfExistingScript();
    if (row < 0)
        return;
    if (!dialogs_.confirm(this,
                          QStringLiteral("Are you sure you want to delete the selected script?")))
        return;
    // The row goes only with its file; a file that stays is reported.
    const QString path = scriptPath(currentScriptFile_);
    PlatformError error;
    if (!RemoveFile(path, error)) {
        ReportFileError(dialogs_, this, QStringLiteral("Unable to delete file ") + path, error);
        return;
    }
    model_->removeScriptRow(row);
    if (model_->rowCount() == 0) {
        afterRowsChanged();
        ui_->runButton->setEnabled(false);
        return;
    }
    // The row that took the removed one's place.
    const QModelIndex next = model_->index(qMin(row, model_->rowCount() - 1), kFileNameColumn);
    ui_->scriptList->setCurrentIndex(next);
    WaitCursor wait;
    updateRunButton();
}

void MainWindow::copyScript() {
    const int row = rowOfExistingScript();
    if (row < 0)
        return;
    const QString source = currentScriptFile_;
    const QString sourcePath = scriptPath(source);
    const bool zip = ScriptKindOfName(source) == ScriptKind::Zip;
    const QString extension = ScriptEnding(zip ? ScriptKind::Zip : ScriptKind::Unzip);
    const QString description =
        ReadIni(QStringLiteral("Options"), QStringLiteral("Description"), {}, sourcePath);
    for (;;) {
        QString name = dialogs_
                           .askText(this, QStringLiteral("File Name (Don't include extention)"),
                                    QStringLiteral("Copy from file ") + source, {})
                           .value_or(QString())
                           .trimmed();
        if (name.isEmpty())
            return;
        // A name is a file in the script folder, never a path elsewhere.
        if (name.contains(u'/') || name.contains(kPathSeparator)) {
            dialogs_.reportError(this, QStringLiteral("File name ") + name +
                                           QStringLiteral(" is not valid."));
            continue;
        }
        if (!name.endsWith(extension, Qt::CaseInsensitive))
            name += extension;
        const QString target = scriptPath(name);
        if (ScriptFileExists(target)) {
            dialogs_.reportError(this, QStringLiteral("File ") + target +
                                           QStringLiteral(" already exists."));
            continue;
        }
        // Complete or not at all; an empty file of that name is replaced.
        PlatformError error;
        if (!CopyFileOwnerOnly(sourcePath, target, error)) {
            ReportFileError(dialogs_, this,
                            QStringLiteral("Unable to copy file ") + sourcePath +
                                QStringLiteral(" to ") + target,
                            error);
            continue;
        }
        // That empty file may have a row already: it is replaced, not doubled.
        for (int i = model_->rowCount() - 1; i >= 0; --i) {
            if (model_->row(i).fileName == name)
                model_->removeScriptRow(i);
        }
        ScriptRow copy;
        copy.fileName = name;
        copy.type = zip ? kZipType : kUnzipType;
        copy.description = description;
        model_->addRow(std::move(copy));
    }
}

void MainWindow::openScript() {
    if (rowOfExistingScript() < 0)
        return;
    openInTextViewer(scriptPath(currentScriptFile_));
}

void MainWindow::showHelp() {
    openInTextViewer(settings_.helpFile);
}

void MainWindow::openInTextViewer(const QString& path) {
    // Without a line here a desktop with no viewer for text files would
    // leave the key or button looking dead.
    if (viewer_->open(path))
        return;
    QString line = QStringLiteral("No text viewer could be started for ") + path + u'.';
    // The welcome text has no line end of its own.
    const QString shown = ui_->messagesBox->toPlainText();
    if (!shown.isEmpty() && !shown.endsWith(u'\n'))
        line.prepend(u'\n');
    appendLine(line);
}

void MainWindow::showOptions() {
    OptionsDialog options(settings_, dialogs_, settingsFile_, this);
    options.exec();
    if (options.scriptFolderChanged())
        refresh();
}

} // namespace tarvik
