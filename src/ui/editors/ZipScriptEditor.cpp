#include "ui/editors/ZipScriptEditor.h"

#include "platform/DialogService.h"
#include "platform/ListWidth.h"
#include "platform/Pickers.h"
#include "platform/UncPath.h"
#include "platform/WaitCursor.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "storage/Scramble.h"
#include "storage/ZipScript.h"
#include "ui/common/TypingLimit.h"
#include "ui/common/WindowMessages.h"
#include "ui/common/WindowPlacement.h"
#include "ui/editors/EmailSettingsDialog.h"
#include "ui/editors/FileDrops.h"
#include "ui/editors/ListRows.h"
#include "ui/editors/ScriptFileName.h"
#include "ui_ZipScriptEditor.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QRadioButton>
#include <QSpinBox>
#include <QSignalBlocker>
#include <algorithm>
#include <optional>

// Resources of a static library are registered by hand, outside any namespace.
static void initUiEditorsResources() {
    Q_INIT_RESOURCE(tarvik_ui_editors);
}

namespace tarvik {
namespace {

// The window's client area, 11550 by 7350 twips at 15 twips a pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidth = 11550 / kTwipsPerPixel;
constexpr int kClientHeight = 7350 / kTwipsPerPixel;

const QDate kEarliestDate(1980, 1, 1);
const QString kSpecsTitle = QStringLiteral("File Specs to Zip");
const QString kSpecPrompt = QStringLiteral("Enter file spec (valid wildcard characters are ? and "
                                           "*)\nExample: /home/me/reports/s???.*");

QListWidgetItem* specItem(const FileSpecEntry& entry) {
    auto* item = new QListWidgetItem(entry.spec);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(entry.deleteMark ? Qt::Checked : Qt::Unchecked);
    return item;
}

QString alreadyExists(const QString& path) {
    return QStringLiteral("File ") + path +
           QStringLiteral(" already exists. Please enter a different file name.");
}

} // namespace

ZipScriptEditor::ZipScriptEditor(EditorContext context, bool addingNewScript,
                                 const QString& currentScriptFile, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ZipScriptEditor>()), context_(context),
      adding_(addingNewScript), file_(ScriptKind::Zip, context.settings.scriptFilePath) {
    initUiEditorsResources();
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    // Starts at the size it was drawn at, or larger when a wider font needs
    // more room: captions are never cut. The lists take any room added.
    placement_ = std::make_unique<WindowPlacement>(this, QStringLiteral("ZipScriptEditor"),
                                                   context.settings.settingsFile,
                                                   QSize(kClientWidth, kClientHeight));
    placement_->restore(parent);
    for (QWidget* box :
         {static_cast<QWidget*>(ui_->zipFileBox), static_cast<QWidget*>(ui_->passwordBox),
          static_cast<QWidget*>(ui_->scriptNameBox)})
        box->installEventFilter(this);
    for (QLineEdit* box :
         {ui_->zipFileBox, ui_->passwordBox, ui_->scriptNameBox, ui_->descriptionBox})
        LimitTyping(box);

    if (adding_) {
        setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Add a new zip script file"));
        if (!context_.settings.zipFile.isEmpty())
            SetWholeText(ui_->zipFileBox, context_.settings.zipFile);
        if (!context_.settings.zipScriptFile.isEmpty())
            SetWholeText(ui_->scriptNameBox, context_.settings.zipScriptFile);
    } else {
        loadScript(currentScriptFile);
    }
    lastAcceptedDate_ = ui_->modifiedDatePicker->date();
    loadedDescription_ = ui_->descriptionBox->text();
    // Connected only now: loading is not a change, so Save starts disabled.
    connectControls();
    acceptDrops();
}

ZipScriptEditor::~ZipScriptEditor() = default;

void ZipScriptEditor::done(int result) {
    placement_->save();
    QDialog::done(result);
}

void ZipScriptEditor::acceptDrops() {
    new FileDrops(
        ui_->fileSpecList->viewport(), [](const QString&) { return true; },
        [this](const QStringList& paths) { addDropped(ui_->fileSpecList, paths); });
    new FileDrops(ui_->directoryList->viewport(), IsFolder,
                  [this](const QStringList& paths) { addDropped(ui_->directoryList, paths); });
}

void ZipScriptEditor::connectControls() {
    const auto click = [this](QAbstractButton* button, void (ZipScriptEditor::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    click(ui_->addFileSpecButton, &ZipScriptEditor::addFileSpec);
    // An edited line keeps its delete mark; itemChanged below notes the change.
    connect(ui_->editFileSpecButton, &QAbstractButton::clicked, this, [this] {
        if (EditCurrentRow(context_.dialogs, this, ui_->fileSpecList, kSpecPrompt, kSpecsTitle) ==
            RowEdit::Duplicate)
            refuse(QString::fromUtf16(kItemExists));
    });
    connect(ui_->setAllDeleteMarksButton, &QAbstractButton::clicked, this,
            [this] { setAllDeleteMarks(true); });
    connect(ui_->clearAllDeleteMarksButton, &QAbstractButton::clicked, this,
            [this] { setAllDeleteMarks(false); });
    click(ui_->addDirectoryButton, &ZipScriptEditor::addDirectory);
    const auto removing = [this](QAbstractButton* button, QListWidget* list,
                                 bool (*remove)(DialogService&, QWidget*, QListWidget*)) {
        connect(button, &QAbstractButton::clicked, this, [this, list, remove] {
            if (remove(context_.dialogs, this, list))
                listChanged(list);
        });
    };
    removing(ui_->deleteFileSpecButton, ui_->fileSpecList, &DeleteCurrentRow);
    removing(ui_->deleteAllFileSpecsButton, ui_->fileSpecList, &DeleteAllRows);
    removing(ui_->deleteDirectoryButton, ui_->directoryList, &DeleteCurrentRow);
    removing(ui_->deleteAllDirectoriesButton, ui_->directoryList, &DeleteAllRows);
    click(ui_->saveButton, &ZipScriptEditor::save);
    click(ui_->emailSettingsButton, &ZipScriptEditor::openEmailSettings);
    connect(ui_->closeButton, &QAbstractButton::clicked, this, &ZipScriptEditor::reject);
    connect(ui_->clearMessagesButton, &QAbstractButton::clicked, ui_->messagesBox,
            &QPlainTextEdit::clear);

    // A delete mark set or cleared, by a click or by Select All / Deselect All.
    connect(ui_->fileSpecList, &QListWidget::itemChanged, this, [this] {
        fileSpecsChanged_ = true;
        setChanged();
    });
    for (QLineEdit* box : {ui_->zipFileBox, ui_->passwordBox, ui_->descriptionBox})
        connect(box, &QLineEdit::textChanged, this, &ZipScriptEditor::setChanged);
    connect(ui_->scriptNameBox, &QLineEdit::textChanged, this, [this] {
        if (!adding_)
            scriptNameChanged_ = true;
        setChanged();
    });
    for (QRadioButton* option : findChildren<QRadioButton*>())
        connect(option, &QAbstractButton::clicked, this, &ZipScriptEditor::setChanged);
    connect(ui_->modifiedDatePicker, &QDateEdit::dateChanged, this, &ZipScriptEditor::dateChanged);
    connect(ui_->versionsSpin, &QSpinBox::valueChanged, this, &ZipScriptEditor::setChanged);
}

void ZipScriptEditor::loadScript(const QString& currentScriptFile) {
    const WaitCursor wait;
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Edit zip script file ") +
                   currentScriptFile);
    file_.setStored(currentScriptFile);
    SetWholeText(ui_->scriptNameBox, file_.storedName());

    const QString file = file_.storedPath();
    const std::optional<IniDocument> doc = LoadIniDocument(file);
    if (!doc && QFileInfo::exists(file))
        showStatus(QStringLiteral("Script file ") + file + QStringLiteral(" could not be read."));
    const ZipScriptOptions o = ReadZipScript(doc.value_or(IniDocument())).options;

    for (const FileSpecEntry& entry : o.fileSpecs)
        ui_->fileSpecList->addItem(specItem(entry));
    ui_->directoryList->addItems(o.directories);
    SetWholeText(ui_->zipFileBox, o.zipFile);
    // Not a date, or one before the picker's range: the earliest date.
    ui_->modifiedDatePicker->setDate(o.modifiedDate.isValid() && o.modifiedDate >= kEarliestDate
                                         ? o.modifiedDate
                                         : kEarliestDate);
    switch (o.compression) {
    case CompressionMode::Best:
        ui_->compressionBest->setChecked(true);
        break;
    case CompressionMode::Normal:
        ui_->compressionNormal->setChecked(true);
        break;
    case CompressionMode::Fast:
        ui_->compressionFast->setChecked(true);
        break;
    case CompressionMode::None:
        ui_->compressionNone->setChecked(true);
        break;
    }
    SetWholeText(ui_->passwordBox, o.password);
    SetWholeText(ui_->descriptionBox, o.description);
    ui_->versionsSpin->setValue(o.versions);
    const auto yesNo = [](bool on, QRadioButton* yes, QRadioButton* no) {
        (on ? yes : no)->setChecked(true);
    };
    yesNo(o.storePaths, ui_->storePathsYes, ui_->storePathsNo);
    yesNo(o.storeSubDirs, ui_->storeSubfoldersYes, ui_->storeSubfoldersNo);
    yesNo(o.includeHiddenFiles, ui_->hiddenFilesYes, ui_->hiddenFilesNo);
    yesNo(o.includeDirectoryEntries, ui_->directoryEntriesYes, ui_->directoryEntriesNo);
    yesNo(o.includeVolumeLabel, ui_->volumeLabelYes, ui_->volumeLabelNo);

    if (ui_->fileSpecList->count() > 0)
        ui_->fileSpecList->setCurrentRow(0);
    if (ui_->directoryList->count() > 0)
        ui_->directoryList->setCurrentRow(0);
    updateListButtons();
    fitLists();
}

void ZipScriptEditor::reject() {
    if (ui_->saveButton->isEnabled() && KeepOpenToSave(context_.dialogs, this))
        return;
    // A locked name in add mode means the e-mail settings created the file of
    // a script that was never saved: no half-made script stays behind.
    if (adding_ && ui_->scriptNameBox->isReadOnly())
        RemoveScriptFile(context_.dialogs, this, scriptPath());
    QDialog::reject();
}

bool ZipScriptEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        // Names are typed without extension; passwords without blanks.
        if ((watched == ui_->zipFileBox || watched == ui_->scriptNameBox) && typed == u".")
            return true;
        if (watched == ui_->passwordBox && typed == u" ")
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ZipScriptEditor::addFileSpec() {
    ProgramSettings& settings = context_.settings;
    const QString picked =
        TrimAtNul(PickOpenFile(context_.dialogs, this, QString::fromUtf16(kAllFilesFilter),
                               QStringLiteral("Select a file to zip"), settings.lastFolder));
    if (picked.isEmpty())
        return;
    settings.lastFolder = FolderOfPath(picked);

    QString spec = picked;
    const MessageAnswer wildcards = context_.dialogs.showMessage(
        this, {QStringLiteral("You have selected file ") + picked +
                   QStringLiteral(".\nDo you want to include wildcard characters?"),
               MessageIcon::Question, MessageButtons::YesNo, MessageAnswer::Yes});
    if (wildcards == MessageAnswer::Yes) {
        spec = context_.dialogs.askText(this, kSpecPrompt, kSpecsTitle, picked)
                   .value_or(QString())
                   .trimmed();
        if (spec.isEmpty())
            return;
    }
    QListWidgetItem* added = AddUniqueRow(ui_->fileSpecList, ToUncPath(spec, settings.uncPaths));
    if (!added)
        return refuse(QString::fromUtf16(kItemExists));
    added->setFlags(added->flags() | Qt::ItemIsUserCheckable);
    added->setCheckState(Qt::Unchecked);
    listChanged(ui_->fileSpecList);
}

void ZipScriptEditor::setAllDeleteMarks(bool marked) {
    for (int row = 0; row < ui_->fileSpecList->count(); ++row)
        ui_->fileSpecList->item(row)->setCheckState(marked ? Qt::Checked : Qt::Unchecked);
}

void ZipScriptEditor::addDirectory() {
    const QString folder =
        PickFolderRemembering(context_.dialogs, this, context_.settings,
                              QStringLiteral("Select a directory to put the zip file in"));
    if (folder.isEmpty())
        return;
    if (AddUniqueRow(ui_->directoryList, folder))
        listChanged(ui_->directoryList);
    else
        refuse(QString::fromUtf16(kItemExists));
}

// Files and folders dropped on a list become lines as if added one by one,
// with the same refusal of duplicates.
void ZipScriptEditor::addDropped(QListWidget* list, const QStringList& paths) {
    QStringList texts;
    for (const QString& path : paths)
        texts.append(ToUncPath(list == ui_->fileSpecList ? FileSpecOfDropped(path) : path,
                               context_.settings.uncPaths));
    const AddedRows rows = AddUniqueRows(list, texts, list == ui_->fileSpecList);
    if (rows.added > 0)
        listChanged(list);
    if (rows.duplicates > 0)
        refuse(QString::fromUtf16(kItemExists));
}

void ZipScriptEditor::listChanged(QListWidget* list) {
    (list == ui_->fileSpecList ? fileSpecsChanged_ : directoriesChanged_) = true;
    setChanged();
    updateListButtons();
}

void ZipScriptEditor::dateChanged(QDate date) {
    if (date < kEarliestDate) {
        refuse(QStringLiteral("Invalid date. Must be a date 01/01/1980 through 12/31/9999."));
        const QSignalBlocker quiet(ui_->modifiedDatePicker);
        ui_->modifiedDatePicker->setDate(lastAcceptedDate_);
        return;
    }
    lastAcceptedDate_ = date;
    setChanged();
}

bool ZipScriptEditor::requiredFieldsPresent() {
    QString missing;
    const auto require = [&](bool present, const char* item, QWidget* field) {
        if (present)
            return;
        missing += QString::fromLatin1(item) + u'\n';
        field->setFocus(Qt::OtherFocusReason);
    };
    require(!ui_->descriptionBox->text().isEmpty(), "Description", ui_->descriptionBox);
    require(!ui_->scriptNameBox->text().isEmpty(), "Script File Name", ui_->scriptNameBox);
    require(!ui_->zipFileBox->text().isEmpty(), "Zip File Name", ui_->zipFileBox);
    require(ui_->directoryList->count() > 0, "Directories", ui_->directoryList);
    require(ui_->fileSpecList->count() > 0, "File specs", ui_->fileSpecList);
    if (missing.isEmpty())
        return true;
    context_.dialogs.reportError(this, QStringLiteral("Warning! The following items are missing:"
                                                      "\n\n") +
                                           missing +
                                           QStringLiteral("\nPlease enter this information"));
    return false;
}

bool ZipScriptEditor::scriptNameUsable() {
    const QString name = ui_->scriptNameBox->text();
    // A separator would put the script outside the script folder, or make
    // every run of it fail: both names are checked before anything is saved.
    const std::pair<QLineEdit*, const char*> names[] = {{ui_->scriptNameBox, "A script file name"},
                                                        {ui_->zipFileBox, "A zip file name"}};
    for (const auto& [box, what] : names) {
        if (const auto c = FirstUnusableNameCharacter(box->text())) {
            refuse(UnusableNameText(QString::fromLatin1(what), *c));
            box->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    const bool newName = adding_ ? !ui_->scriptNameBox->isReadOnly() : file_.isRename(name);
    if (newName && ScriptFileExists(scriptPath())) {
        refuse(alreadyExists(scriptPath()));
        ui_->scriptNameBox->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

void ZipScriptEditor::save() {
    if (!requiredFieldsPresent() || !scriptNameUsable())
        return;
    std::optional<WaitCursor> wait(std::in_place);
    const ZipScriptOptions options = optionsFromControls();
    if (!Scramble(options.password)) {
        refuse(QStringLiteral("The password holds a character that cannot be stored. Please use "
                              "other characters."));
        ui_->passwordBox->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QString name = ui_->scriptNameBox->text();
    const bool renamed = file_.isRename(name);
    if (!writeScript(options, renamed)) {
        wait.reset();
        refuse(QStringLiteral("The zip script could not be written to ") + scriptPath() +
               QStringLiteral("."));
        return;
    }

    const QString description = ui_->descriptionBox->text();
    if (adding_) {
        context_.list.addRow(file_.fileName(name), QStringLiteral("Zip"), description);
    } else {
        if (renamed)
            context_.list.setSelectedFileName(file_.fileName(name));
        if (description != loadedDescription_)
            context_.list.setSelectedDescription(description);
        // The row shows this description now; a later change compares with it.
        loadedDescription_ = description;
    }
    fileSpecsChanged_ = false;
    directoriesChanged_ = false;
    ui_->saveButton->setEnabled(false);
    showStatus(QStringLiteral("Zip script saved."));
    wait.reset();
    if (adding_) {
        accept();
        return;
    }
    // The old file goes once the new one is whole; a failure is reported
    // under the normal pointer.
    if (renamed)
        RemoveRenamedScript(context_.dialogs, this, file_.storedPath(), scriptPath());
    scriptNameChanged_ = false;
    file_.setStored(file_.fileName(name));
}

bool ZipScriptEditor::writeScript(const ZipScriptOptions& options, bool renamed) {
    const QString path = scriptPath();
    if (!renamed) {
        // A file that went away while the script was open gets the lists
        // too: only the changed keys would leave a script without them.
        const bool whole = !ScriptFileExists(path);
        return UpdateIni(path, [&](IniDocument& doc) {
            return WriteZipScriptOptions(doc, options, fileSpecsChanged_ || whole,
                                         directoriesChanged_ || whole);
        });
    }
    // A new name: the new file carries every key of the old one (e-mail
    // settings, last run, error marker) and is complete before the old one
    // goes; a file that cannot be read is never replaced by a partial copy.
    const QString oldPath = file_.storedPath();
    std::optional<IniDocument> old = LoadIniDocument(oldPath);
    if (!old && QFileInfo::exists(oldPath))
        return false;
    return UpdateIni(
        path,
        [&](IniDocument& doc) {
            doc = old.value_or(IniDocument());
            return WriteZipScriptOptions(doc, options, true, true);
        },
        true);
}

void ZipScriptEditor::openEmailSettings() {
    if (!requiredFieldsPresent())
        return;
    // A renamed script is saved first, whether or not its new name is free:
    // the e-mail settings are never written under a name without a file.
    if (scriptNameChanged_) {
        refuse(QStringLiteral(
            "Please save changes on current screen before accessing email settings."));
        return;
    }
    if (!scriptNameUsable())
        return;
    EmailSettingsDialog email(context_.dialogs, scriptPath(), directories(), this);
    if (adding_) {
        // The e-mail settings created the file under this name.
        connect(&email, &EmailSettingsDialog::saved, this,
                [this] { ui_->scriptNameBox->setReadOnly(true); });
    }
    email.exec();
}

void ZipScriptEditor::setChanged() {
    ui_->saveButton->setEnabled(true);
}

void ZipScriptEditor::showStatus(const QString& text) {
    ui_->messagesBox->setPlainText(text);
}

void ZipScriptEditor::refuse(const QString& text) {
    context_.dialogs.beep();
    showStatus(text);
}

void ZipScriptEditor::updateListButtons() {
    const bool specs = ui_->fileSpecList->count() > 0;
    for (QWidget* button :
         {ui_->editFileSpecButton, ui_->deleteFileSpecButton, ui_->deleteAllFileSpecsButton,
          ui_->setAllDeleteMarksButton, ui_->clearAllDeleteMarksButton})
        button->setEnabled(specs);
    const bool dirs = ui_->directoryList->count() > 0;
    ui_->deleteDirectoryButton->setEnabled(dirs);
    ui_->deleteAllDirectoriesButton->setEnabled(dirs);
}

void ZipScriptEditor::fitLists() {
    FitListScrollWidth(ui_->fileSpecList);
    FitListScrollWidth(ui_->directoryList);
}

QString ZipScriptEditor::scriptPath() const {
    return file_.path(ui_->scriptNameBox->text());
}

QStringList ZipScriptEditor::directories() const {
    QStringList dirs;
    for (int row = 0; row < ui_->directoryList->count(); ++row)
        dirs.append(ui_->directoryList->item(row)->text());
    return dirs;
}

ZipScriptOptions ZipScriptEditor::optionsFromControls() const {
    ZipScriptOptions o;
    for (int row = 0; row < ui_->fileSpecList->count(); ++row) {
        const QListWidgetItem* item = ui_->fileSpecList->item(row);
        o.fileSpecs.append({item->text(), item->checkState() == Qt::Checked});
    }
    o.directories = directories();
    o.zipFile = ui_->zipFileBox->text();
    o.modifiedDate = ui_->modifiedDatePicker->date();
    o.compression = ui_->compressionBest->isChecked()     ? CompressionMode::Best
                    : ui_->compressionNormal->isChecked() ? CompressionMode::Normal
                    : ui_->compressionFast->isChecked()   ? CompressionMode::Fast
                                                          : CompressionMode::None;
    o.password = ui_->passwordBox->text();
    o.storePaths = ui_->storePathsYes->isChecked();
    o.storeSubDirs = ui_->storeSubfoldersYes->isChecked();
    o.includeHiddenFiles = ui_->hiddenFilesYes->isChecked();
    o.includeDirectoryEntries = ui_->directoryEntriesYes->isChecked();
    o.includeVolumeLabel = ui_->volumeLabelYes->isChecked();
    o.description = ui_->descriptionBox->text();
    o.versions = ui_->versionsSpin->value();
    return o;
}

} // namespace tarvik
