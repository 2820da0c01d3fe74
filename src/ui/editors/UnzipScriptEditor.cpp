#include "ui/editors/UnzipScriptEditor.h"

#include "platform/DialogService.h"
#include "platform/ListWidth.h"
#include "platform/Pickers.h"
#include "platform/UncPath.h"
#include "platform/WaitCursor.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "storage/UnzipScript.h"
#include "ui/common/TypingLimit.h"
#include "ui/common/WindowMessages.h"
#include "ui/common/WindowPlacement.h"
#include "ui/editors/FileDrops.h"
#include "ui/editors/ListRows.h"
#include "ui/editors/ScriptFileName.h"
#include "ui_UnzipScriptEditor.h"

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStyle>

namespace tarvik {
namespace {

const QString kSpecTitle = QStringLiteral("File Specs to Unzip");
const QString kSpecPrompt =
    QStringLiteral("Enter file spec (valid wildcard characters are ? and *)\r\nExample: s????.*");

// A typed character that `edit` discards: "." in name boxes, a blank in the
// password box. Pasted text is not filtered.
bool IsDiscardedKey(const QEvent* event, QChar discarded) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const QString text = static_cast<const QKeyEvent*>(event)->text();
    return text.size() == 1 && text.at(0) == discarded;
}

} // namespace

UnzipScriptEditor::UnzipScriptEditor(EditorContext context, bool addingNewScript,
                                     const QString& currentScriptFile, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::UnzipScriptEditor>()), context_(context),
      adding_(addingNewScript), file_(ScriptKind::Unzip, context.settings.scriptFilePath) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    ui_->saveButton->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ui_->closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    ui_->scriptNameBox->installEventFilter(this);
    ui_->passwordBox->installEventFilter(this);
    for (QLineEdit* box : {ui_->passwordBox, ui_->scriptNameBox, ui_->descriptionBox})
        LimitTyping(box);

    if (adding_)
        loadNew();
    else
        loadExisting(currentScriptFile);
    connectControls();
    acceptDrops();
    ui_->saveButton->setEnabled(false);
    // Starts at 11550 by 6630 twips, the size it was drawn at, or larger when
    // a wider font needs more room. The lists take any room added.
    placement_ = std::make_unique<WindowPlacement>(this, QStringLiteral("UnzipScriptEditor"),
                                                   context.settings.settingsFile, QSize(770, 442));
    placement_->restore(parent);
}

UnzipScriptEditor::~UnzipScriptEditor() = default;

void UnzipScriptEditor::done(int result) {
    placement_->save();
    QDialog::done(result);
}

void UnzipScriptEditor::loadNew() {
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Add a new unzip script file"));
    ui_->fileSpecList->addItem(QStringLiteral("*.*"));
    ui_->fileSpecList->setCurrentRow(0);
    updateListButtons();
    if (!context_.settings.unzipFile.isEmpty())
        ui_->zipFileBox->setText(context_.settings.unzipFile);
    if (!context_.settings.unzipScriptFile.isEmpty())
        SetWholeText(ui_->scriptNameBox, context_.settings.unzipScriptFile);
}

void UnzipScriptEditor::loadExisting(const QString& currentScriptFile) {
    WaitCursor wait;
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Edit unzip script file ") +
                   currentScriptFile);
    file_.setStored(currentScriptFile);
    SetWholeText(ui_->scriptNameBox, file_.storedName());
    const UnzipScript script =
        ReadUnzipScript(LoadIniDocument(file_.storedPath()).value_or(IniDocument()));
    ui_->zipFileBox->setText(script.zipFile);
    for (const QString& spec : script.fileSpecs) {
        QCoreApplication::processEvents();
        ui_->fileSpecList->addItem(spec);
    }
    for (const QString& dir : script.directories) {
        QCoreApplication::processEvents();
        ui_->directoryList->addItem(dir);
    }
    SetWholeText(ui_->passwordBox, script.password);
    (script.deleteArchive ? ui_->deleteZipFileYes : ui_->deleteZipFileNo)->setChecked(true);
    (script.overwrite ? ui_->overwriteYes : ui_->overwriteNo)->setChecked(true);
    switch (script.extract) {
    case ExtractMode::Newer:
        ui_->extractNewer->setChecked(true);
        break;
    case ExtractMode::NewerAndNonExisting:
        ui_->extractNewerAndNonExisting->setChecked(true);
        break;
    case ExtractMode::All:
        ui_->extractAll->setChecked(true);
        break;
    }
    SetWholeText(ui_->descriptionBox, script.description);
    if (ui_->directoryList->count() > 0)
        ui_->directoryList->setCurrentRow(0);
    if (ui_->fileSpecList->count() > 0)
        ui_->fileSpecList->setCurrentRow(0);
    updateListButtons();
    FitListScrollWidth(ui_->directoryList);
    FitListScrollWidth(ui_->fileSpecList);
    loadedDescription_ = ui_->descriptionBox->text();
}

void UnzipScriptEditor::connectControls() {
    const Ui::UnzipScriptEditor& u = *ui_;
    const auto on = [this](QAbstractButton* button, void (UnzipScriptEditor::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    on(u.chooseZipFileButton, &UnzipScriptEditor::chooseArchive);
    on(u.addFileSpecButton, &UnzipScriptEditor::addSpec);
    connect(u.editFileSpecButton, &QAbstractButton::clicked, this, [this] {
        switch (
            EditCurrentRow(context_.dialogs, this, ui_->fileSpecList, kSpecPrompt, kSpecTitle)) {
        case RowEdit::Changed:
            fileSpecsChanged_ = true;
            setModified();
            break;
        case RowEdit::Duplicate:
            refuse(QString::fromUtf16(kItemExists));
            break;
        case RowEdit::Unchanged:
            break;
        }
    });
    on(u.addDirectoryButton, &UnzipScriptEditor::addDirectory);
    const auto removing = [this](QAbstractButton* button, QListWidget* list,
                                 bool (*remove)(DialogService&, QWidget*, QListWidget*)) {
        connect(button, &QAbstractButton::clicked, this, [this, list, remove] {
            if (remove(context_.dialogs, this, list))
                listChanged(list);
        });
    };
    removing(u.deleteFileSpecButton, u.fileSpecList, &DeleteCurrentRow);
    removing(u.deleteAllFileSpecsButton, u.fileSpecList, &DeleteAllRows);
    removing(u.deleteDirectoryButton, u.directoryList, &DeleteCurrentRow);
    removing(u.deleteAllDirectoriesButton, u.directoryList, &DeleteAllRows);
    on(u.saveButton, &UnzipScriptEditor::save);
    connect(u.closeButton, &QAbstractButton::clicked, this, &UnzipScriptEditor::reject);
    connect(u.clearMessagesButton, &QAbstractButton::clicked, u.messagesBox,
            &QPlainTextEdit::clear);
    for (QLineEdit* edit : {u.zipFileBox, u.passwordBox, u.scriptNameBox, u.descriptionBox})
        connect(edit, &QLineEdit::textChanged, this, &UnzipScriptEditor::setModified);
    for (QAbstractButton* option :
         {u.overwriteYes, u.overwriteNo, u.extractNewer, u.extractAll, u.deleteZipFileYes,
          u.deleteZipFileNo, u.extractNewerAndNonExisting})
        connect(option, &QAbstractButton::clicked, this, &UnzipScriptEditor::setModified);
}

void UnzipScriptEditor::setModified() const {
    ui_->saveButton->setEnabled(true);
}

void UnzipScriptEditor::showMessage(const QString& text) const {
    ui_->messagesBox->setPlainText(text);
}

void UnzipScriptEditor::refuse(const QString& text) const {
    context_.dialogs.beep();
    showMessage(text);
}

void UnzipScriptEditor::updateListButtons() const {
    const bool specs = ui_->fileSpecList->count() > 0;
    for (QWidget* w :
         {ui_->editFileSpecButton, ui_->deleteFileSpecButton, ui_->deleteAllFileSpecsButton})
        w->setEnabled(specs);
    const bool dirs = ui_->directoryList->count() > 0;
    ui_->deleteDirectoryButton->setEnabled(dirs);
    ui_->deleteAllDirectoriesButton->setEnabled(dirs);
}

bool UnzipScriptEditor::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui_->scriptNameBox && IsDiscardedKey(event, u'.')) ||
        (watched == ui_->passwordBox && IsDiscardedKey(event, u' ')))
        return true;
    return QDialog::eventFilter(watched, event);
}

// ---- The archive and the two lists ---------------------------------------------

void UnzipScriptEditor::chooseArchive() {
    // The archive need not exist yet: a restore job can be set up before the
    // backup that makes its archive first runs.
    const QString picked = PickFileRememberingOrNew(context_.dialogs, this, context_.settings,
                                                    QString::fromUtf16(kZipFilesFilter),
                                                    QStringLiteral("Select a file to unzip"));
    if (picked.isEmpty())
        return;
    ui_->zipFileBox->setText(WithoutZipEnding(picked));
    setModified();
    ui_->addDirectoryButton->setFocus(Qt::OtherFocusReason);
}

void UnzipScriptEditor::addSpec() {
    const QString spec =
        context_.dialogs.askText(this, kSpecPrompt, kSpecTitle, {}).value_or(QString()).trimmed();
    if (spec.isEmpty())
        return;
    if (AddUniqueRow(ui_->fileSpecList, spec))
        listChanged(ui_->fileSpecList);
    else
        refuse(QString::fromUtf16(kItemExists));
}

void UnzipScriptEditor::addDirectory() {
    const QString dir =
        PickFolderRemembering(context_.dialogs, this, context_.settings,
                              QStringLiteral("Select a directory to extract zipped files in"));
    if (dir.isEmpty())
        return;
    if (AddUniqueRow(ui_->directoryList, dir))
        listChanged(ui_->directoryList);
    else
        refuse(QString::fromUtf16(kItemExists));
}

// A .zip dropped anywhere on the window becomes its archive; folders dropped
// on the directory list become lines, with the same refusal of duplicates.
void UnzipScriptEditor::acceptDrops() {
    const auto takeArchive = [this](const QStringList& paths) {
        ui_->zipFileBox->setText(
            WithoutZipEnding(ToUncPath(paths.first(), context_.settings.uncPaths)));
        setModified();
    };
    new FileDrops(this, IsZipFile, takeArchive);
    new FileDrops(ui_->zipFileBox, IsZipFile, takeArchive);
    new FileDrops(ui_->directoryList->viewport(), IsFolder, [this](const QStringList& paths) {
        QStringList folders;
        for (const QString& path : paths)
            folders.append(ToUncPath(path, context_.settings.uncPaths));
        const AddedRows rows = AddUniqueRows(ui_->directoryList, folders, false);
        if (rows.added > 0)
            listChanged(ui_->directoryList);
        if (rows.duplicates > 0)
            refuse(QString::fromUtf16(kItemExists));
    });
}

void UnzipScriptEditor::listChanged(QListWidget* list) {
    (list == ui_->fileSpecList ? fileSpecsChanged_ : directoriesChanged_) = true;
    setModified();
    updateListButtons();
}

// ---- Saving and closing ------------------------------------------------------

bool UnzipScriptEditor::requiredFieldsPresent() {
    QString missing;
    const auto check = [&missing](bool absent, const char* item, QWidget* control) {
        if (!absent)
            return;
        missing += QString::fromLatin1(item) + QStringLiteral("\r\n");
        control->setFocus(Qt::OtherFocusReason);
    };
    check(ui_->descriptionBox->text().isEmpty(), "Description", ui_->descriptionBox);
    check(ui_->scriptNameBox->text().isEmpty(), "Script File Name", ui_->scriptNameBox);
    check(ui_->directoryList->count() == 0, "Directories", ui_->directoryList);
    check(ui_->fileSpecList->count() == 0, "Files To Process", ui_->fileSpecList);
    check(ui_->zipFileBox->text().isEmpty(), "File To Unzip", ui_->chooseZipFileButton);
    if (missing.isEmpty())
        return true;
    context_.dialogs.reportError(this, QStringLiteral("Warning! The following items are missing:"
                                                      "\r\n\r\n") +
                                           missing +
                                           QStringLiteral("\r\nPlease enter this information"));
    return false;
}

bool UnzipScriptEditor::writeScript(const QString& path, bool listsChanged) const {
    UnzipScript script;
    script.zipFile = ui_->zipFileBox->text().trimmed();
    script.fileSpecs = RowTexts(ui_->fileSpecList);
    script.directories = RowTexts(ui_->directoryList);
    script.password = ui_->passwordBox->text();
    script.deleteArchive = ui_->deleteZipFileYes->isChecked();
    script.overwrite = ui_->overwriteYes->isChecked();
    script.extract = ui_->extractAll->isChecked()     ? ExtractMode::All
                     : ui_->extractNewer->isChecked() ? ExtractMode::Newer
                                                      : ExtractMode::NewerAndNonExisting;
    script.description = ui_->descriptionBox->text();
    return UpdateIni(
        path, [&](IniDocument& doc) { return WriteUnzipScript(doc, script, listsChanged); },
        listsChanged);
}

void UnzipScriptEditor::save() {
    // The missing-fields message shows under the normal pointer.
    if (!requiredFieldsPresent())
        return;
    // A typed archive is found from any folder only by its full path.
    if (!QDir::isAbsolutePath(ui_->zipFileBox->text().trimmed())) {
        refuse(QStringLiteral("Please enter the file to unzip with its full path, starting with "
                              "\"/\"."));
        ui_->zipFileBox->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QString name = ui_->scriptNameBox->text();
    // A separator would put the script outside the script folder.
    if (const auto c = FirstUnusableNameCharacter(name)) {
        refuse(UnusableNameText(QStringLiteral("A script file name"), *c));
        ui_->scriptNameBox->setFocus(Qt::OtherFocusReason);
        return;
    }
    std::optional<WaitCursor> wait(std::in_place);
    const QString path = file_.path(name);
    const bool renamed = file_.isRename(name);
    if ((adding_ || renamed) && ScriptFileExists(path)) {
        wait.reset();
        refuse(QStringLiteral("File ") + path +
               QStringLiteral(" already exists. Please enter a different file name."));
        ui_->scriptNameBox->setFocus(Qt::OtherFocusReason);
        return;
    }
    // A new script is always written whole: its file does not exist yet, or
    // holds nothing worth keeping. So is a renamed script, and one whose file
    // went away while it was open: writing only the changed keys would leave
    // it without lists.
    const bool listsChanged =
        adding_ || renamed || fileSpecsChanged_ || directoriesChanged_ || !ScriptFileExists(path);
    // The new file is written before the old one goes, so a failed write
    // never leaves the script without any file.
    if (!writeScript(path, listsChanged)) {
        wait.reset();
        refuse(QStringLiteral("File ") + path + QStringLiteral(" could not be written."));
        return;
    }
    fileSpecsChanged_ = false;
    directoriesChanged_ = false;
    const QString fileName = file_.fileName(name);
    if (adding_) {
        context_.list.addRow(fileName, QStringLiteral("Unzip"), ui_->descriptionBox->text());
    } else {
        if (renamed)
            context_.list.setSelectedFileName(fileName);
        if (ui_->descriptionBox->text() != loadedDescription_) {
            context_.list.setSelectedDescription(ui_->descriptionBox->text());
            loadedDescription_ = ui_->descriptionBox->text();
        }
    }
    ui_->saveButton->setEnabled(false);
    showMessage(QStringLiteral("Unzip script saved."));
    wait.reset();
    if (adding_) {
        accept();
        return;
    }
    // The old file goes once the new one is whole; a failure is reported
    // under the normal pointer.
    if (renamed)
        RemoveRenamedScript(context_.dialogs, this, file_.storedPath(), path);
    file_.setStored(fileName);
}

void UnzipScriptEditor::reject() {
    if (ui_->saveButton->isEnabled() && KeepOpenToSave(context_.dialogs, this))
        return;
    QDialog::reject();
}

} // namespace tarvik
