#include "ui/editors/UnzipScriptEditor.h"

#include "platform/DialogService.h"
#include "platform/ListWidth.h"
#include "platform/Pickers.h"
#include "platform/WaitCursor.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "storage/UnzipScript.h"
#include "ui_UnzipScriptEditor.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>

namespace tarvik {
namespace {

const QString kSpecTitle = QStringLiteral("File Specs to Unzip");
const QString kSpecPrompt =
    QStringLiteral("Enter file spec (valid wildcard characters are ? and *)\r\nExample: s????.*");
const QString kItemExists = QStringLiteral("Item already exists.");
const QString kUnzipExtension = QStringLiteral(".usc");

// The line that equals `text` ignoring letter case, or -1.
int FindLine(const QListWidget* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines.append(list->item(i)->text());
    return lines;
}

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
      adding_(addingNewScript) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    ui_->Command6->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ui_->Command7->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    ui_->Text3->installEventFilter(this);
    ui_->Text2->installEventFilter(this);

    if (adding_)
        loadNew();
    else
        loadExisting(currentScriptFile);
    connectControls();
    ui_->Command6->setEnabled(false);
    // 11550 by 6630 twips, grown when the fonts need more room.
    const QSize hint = sizeHint();
    setFixedSize(qMax(770, hint.width()), qMax(442, hint.height()));
}

UnzipScriptEditor::~UnzipScriptEditor() = default;

void UnzipScriptEditor::loadNew() {
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Add a new unzip script file"));
    ui_->List2->addItem(QStringLiteral("*.*"));
    ui_->List2->setCurrentRow(0);
    updateSpecButtons();
    if (!context_.settings.unzipFile.isEmpty())
        ui_->Text1->setText(context_.settings.unzipFile);
    if (!context_.settings.unzipScriptFile.isEmpty())
        ui_->Text3->setText(context_.settings.unzipScriptFile);
}

void UnzipScriptEditor::loadExisting(const QString& currentScriptFile) {
    WaitCursor wait;
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Edit unzip script file ") +
                   currentScriptFile);
    savedScriptName_ = currentScriptFile.section(u'.', 0, 0);
    ui_->Text3->setText(savedScriptName_);
    const UnzipScript script = ReadUnzipScript(
        LoadIniDocument(JoinPath(context_.settings.scriptFilePath, currentScriptFile))
            .value_or(IniDocument()));
    ui_->Text1->setText(script.zipFile);
    for (const QString& spec : script.fileSpecs) {
        QCoreApplication::processEvents();
        ui_->List2->addItem(spec);
    }
    for (const QString& dir : script.directories) {
        QCoreApplication::processEvents();
        ui_->List1->addItem(dir);
    }
    ui_->Text2->setText(script.password);
    (script.deleteArchive ? ui_->Option5 : ui_->Option6)->setChecked(true);
    (script.overwrite ? ui_->Option1 : ui_->Option2)->setChecked(true);
    switch (script.extract) {
    case ExtractMode::Newer:
        ui_->Option3->setChecked(true);
        break;
    case ExtractMode::NewerAndNonExisting:
        ui_->Option7->setChecked(true);
        break;
    case ExtractMode::All:
        ui_->Option4->setChecked(true);
        break;
    }
    ui_->Text4->setText(script.description);
    if (ui_->List1->count() > 0)
        ui_->List1->setCurrentRow(0);
    if (ui_->List2->count() > 0)
        ui_->List2->setCurrentRow(0);
    updateSpecButtons();
    updateDirectoryButtons();
    FitListScrollWidth(ui_->List1);
    FitListScrollWidth(ui_->List2);
    loadedDescription_ = ui_->Text4->text();
}

void UnzipScriptEditor::connectControls() {
    const Ui::UnzipScriptEditor& u = *ui_;
    const auto on = [this](QAbstractButton* button, void (UnzipScriptEditor::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    on(u.Command1, &UnzipScriptEditor::chooseArchive);
    on(u.Command11, &UnzipScriptEditor::addSpec);
    on(u.Command2, &UnzipScriptEditor::editSpec);
    on(u.Command3, &UnzipScriptEditor::deleteSpec);
    on(u.Command8, &UnzipScriptEditor::deleteAllSpecs);
    on(u.Command4, &UnzipScriptEditor::addDirectory);
    on(u.Command5, &UnzipScriptEditor::deleteDirectory);
    on(u.Command12, &UnzipScriptEditor::deleteAllDirectories);
    on(u.Command6, &UnzipScriptEditor::save);
    connect(u.Command7, &QAbstractButton::clicked, this, &UnzipScriptEditor::reject);
    connect(u.Command13, &QAbstractButton::clicked, u.Text5, &QPlainTextEdit::clear);
    for (QLineEdit* edit : {u.Text2, u.Text3, u.Text4})
        connect(edit, &QLineEdit::textChanged, this, &UnzipScriptEditor::setModified);
    for (QAbstractButton* option :
         {u.Option1, u.Option2, u.Option3, u.Option4, u.Option5, u.Option6, u.Option7})
        connect(option, &QAbstractButton::clicked, this, &UnzipScriptEditor::setModified);
}

void UnzipScriptEditor::setModified() const {
    ui_->Command6->setEnabled(true);
}

void UnzipScriptEditor::showMessage(const QString& text) const {
    ui_->Text5->setPlainText(text);
}

void UnzipScriptEditor::updateSpecButtons() const {
    const bool any = ui_->List2->count() > 0;
    for (QWidget* w : {ui_->Command2, ui_->Command3, ui_->Command8})
        w->setEnabled(any);
}

void UnzipScriptEditor::updateDirectoryButtons() const {
    const bool any = ui_->List1->count() > 0;
    ui_->Command5->setEnabled(any);
    ui_->Command12->setEnabled(any);
}

bool UnzipScriptEditor::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui_->Text3 && IsDiscardedKey(event, u'.')) ||
        (watched == ui_->Text2 && IsDiscardedKey(event, u' ')))
        return true;
    return QDialog::eventFilter(watched, event);
}

// ---- The archive and the two lists ---------------------------------------------

void UnzipScriptEditor::chooseArchive() {
    const QString picked = PickFileRemembering(context_.dialogs, this, context_.settings,
                                               QString::fromUtf16(kZipFilesFilter),
                                               QStringLiteral("Select a file to unzip"));
    if (picked.isEmpty())
        return;
    ui_->Text1->setText(WithoutZipEnding(picked));
    setModified();
    ui_->Command4->setFocus(Qt::OtherFocusReason);
}

void UnzipScriptEditor::addSpec() {
    const QString spec =
        context_.dialogs.askText(this, kSpecPrompt, kSpecTitle, {}).value_or(QString()).trimmed();
    if (spec.isEmpty())
        return;
    if (addUniqueLine(ui_->List2, spec)) {
        fileSpecsChanged_ = true;
        updateSpecButtons();
    }
}

bool UnzipScriptEditor::addUniqueLine(QListWidget* list, const QString& text) {
    const int remembered = qMax(list->currentRow(), 0);
    bool exists;
    {
        WaitCursor wait;
        exists = FindLine(list, text) >= 0;
    }
    if (exists) {
        context_.dialogs.beep();
        showMessage(kItemExists);
    } else {
        list->addItem(text);
        setModified();
        FitListScrollWidth(list);
    }
    list->setCurrentRow(remembered);
    return !exists;
}

void UnzipScriptEditor::editSpec() {
    QListWidget* list = ui_->List2;
    const int row = list->currentRow();
    if (row < 0)
        return;
    const QString old = list->item(row)->text();
    const QString spec =
        context_.dialogs.askText(this, kSpecPrompt, kSpecTitle, old).value_or(QString()).trimmed();
    if (spec.isEmpty() || spec == old)
        return;
    if (spec.compare(old, Qt::CaseInsensitive) == 0) {
        // Only the letter case changed: no duplicate to look for.
        list->item(row)->setText(spec);
        fileSpecsChanged_ = true;
        setModified();
        return;
    }
    bool exists;
    {
        WaitCursor wait;
        exists = FindLine(list, spec) >= 0;
    }
    if (exists) {
        context_.dialogs.beep();
        showMessage(kItemExists);
    } else {
        list->item(row)->setText(spec);
        setModified();
        fileSpecsChanged_ = true;
        FitListScrollWidth(list);
    }
    list->setCurrentRow(row);
}

bool UnzipScriptEditor::deleteSelectedLine(QListWidget* list) {
    const int row = list->currentRow();
    if (row < 0 || !context_.dialogs.confirm(
                       this, QStringLiteral("Are you sure you want to delete the selected item?")))
        return false;
    delete list->takeItem(row);
    setModified();
    if (list->count() > 0) {
        list->setCurrentRow(0);
        FitListScrollWidth(list);
    }
    return true;
}

bool UnzipScriptEditor::deleteAllLines(QListWidget* list) {
    if (!context_.dialogs.confirm(this,
                                  QStringLiteral("Are you sure you want to delete all the items?")))
        return false;
    list->clear();
    setModified();
    FitListScrollWidth(list);
    return true;
}

void UnzipScriptEditor::deleteSpec() {
    if (deleteSelectedLine(ui_->List2))
        fileSpecsChanged_ = true;
    updateSpecButtons();
}

void UnzipScriptEditor::deleteAllSpecs() {
    if (deleteAllLines(ui_->List2))
        fileSpecsChanged_ = true;
    updateSpecButtons();
}

void UnzipScriptEditor::addDirectory() {
    const QString dir =
        PickFolderRemembering(context_.dialogs, this, context_.settings,
                              QStringLiteral("Select a directory to extract zipped files in"));
    if (dir.isEmpty())
        return;
    if (addUniqueLine(ui_->List1, dir)) {
        directoriesChanged_ = true;
        updateDirectoryButtons();
    }
}

void UnzipScriptEditor::deleteDirectory() {
    if (deleteSelectedLine(ui_->List1))
        directoriesChanged_ = true;
    updateDirectoryButtons();
}

void UnzipScriptEditor::deleteAllDirectories() {
    if (deleteAllLines(ui_->List1))
        directoriesChanged_ = true;
    updateDirectoryButtons();
}

// ---- Saving and closing ------------------------------------------------------

QString UnzipScriptEditor::scriptPathFor(const QString& name) const {
    return JoinPath(context_.settings.scriptFilePath, name + kUnzipExtension);
}

bool UnzipScriptEditor::requiredFieldsPresent() {
    QString missing;
    const auto check = [&missing](bool absent, const char* item, QWidget* control) {
        if (!absent)
            return;
        missing += QString::fromLatin1(item) + QStringLiteral("\r\n");
        control->setFocus(Qt::OtherFocusReason);
    };
    check(ui_->Text4->text().isEmpty(), "Description", ui_->Text4);
    check(ui_->Text3->text().isEmpty(), "Script File Name", ui_->Text3);
    check(ui_->List1->count() == 0, "Directories", ui_->List1);
    check(ui_->List2->count() == 0, "Files To Process", ui_->List2);
    check(ui_->Text1->text().isEmpty(), "File To Unzip", ui_->Command1);
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
    script.zipFile = ui_->Text1->text();
    script.fileSpecs = Lines(ui_->List2);
    script.directories = Lines(ui_->List1);
    script.password = ui_->Text2->text();
    script.deleteArchive = ui_->Option5->isChecked();
    script.overwrite = ui_->Option1->isChecked();
    script.extract = ui_->Option4->isChecked()   ? ExtractMode::All
                     : ui_->Option3->isChecked() ? ExtractMode::Newer
                                                 : ExtractMode::NewerAndNonExisting;
    script.description = ui_->Text4->text();
    return UpdateIni(
        path, [&](IniDocument& doc) { return WriteUnzipScript(doc, script, listsChanged); },
        listsChanged);
}

void UnzipScriptEditor::save() {
    std::optional<WaitCursor> wait(std::in_place);
    if (!requiredFieldsPresent())
        return;
    const QString name = ui_->Text3->text();
    const QString path = scriptPathFor(name);
    const auto refuse = [&](const QString& text) {
        wait.reset();
        context_.dialogs.beep();
        showMessage(text);
        ui_->Text3->setFocus(Qt::OtherFocusReason);
    };

    QString oldPath;
    if (adding_) {
        if (ScriptFileExists(path))
            return refuse(QStringLiteral("File ") + path +
                          QStringLiteral(" already exists. Please enter a different file name."));
    } else if (name != savedScriptName_) {
        if (ScriptFileExists(path))
            return refuse(QStringLiteral("File ") + path +
                          QStringLiteral(" already exists. Please enter a different file name."));
        // A renamed script is written anew under its new name.
        fileSpecsChanged_ = true;
        directoriesChanged_ = true;
        oldPath = scriptPathFor(savedScriptName_);
    }

    // A new script is always written whole: its file does not exist yet, or
    // holds nothing worth keeping. So is a script whose file went away while
    // it was open: writing only the changed keys would leave it without lists.
    const bool listsChanged =
        adding_ || fileSpecsChanged_ || directoriesChanged_ || !ScriptFileExists(path);
    // The new file is written before the old one goes, so a failed write
    // never leaves the script without any file.
    if (!writeScript(path, listsChanged)) {
        wait.reset();
        context_.dialogs.beep();
        showMessage(QStringLiteral("File ") + path + QStringLiteral(" could not be written."));
        return;
    }
    fileSpecsChanged_ = false;
    directoriesChanged_ = false;
    const QString fileName = name + kUnzipExtension;
    if (adding_) {
        context_.list.addRow(fileName, QStringLiteral("Unzip"), ui_->Text4->text());
    } else {
        if (!oldPath.isEmpty()) {
            // Letter case alone may name the same file on some file systems.
            if (QFileInfo(oldPath).canonicalFilePath() != QFileInfo(path).canonicalFilePath())
                QFile::remove(oldPath);
            context_.list.setSelectedFileName(fileName);
        }
        if (ui_->Text4->text() != loadedDescription_) {
            context_.list.setSelectedDescription(ui_->Text4->text());
            loadedDescription_ = ui_->Text4->text();
        }
    }
    ui_->Command6->setEnabled(false);
    showMessage(QStringLiteral("Unzip script saved."));
    wait.reset();
    if (adding_) {
        accept();
        return;
    }
    savedScriptName_ = name;
}

void UnzipScriptEditor::reject() {
    if (ui_->Command6->isEnabled()) {
        MessageRequest ask;
        ask.text = QStringLiteral("Do you want to save your changes before closing this screen?");
        ask.icon = MessageIcon::Question;
        ask.buttons = MessageButtons::YesNo;
        ask.defaultButton = MessageAnswer::Yes;
        if (context_.dialogs.showMessage(this, ask) != MessageAnswer::No)
            return;
    }
    QDialog::reject();
}

} // namespace tarvik
