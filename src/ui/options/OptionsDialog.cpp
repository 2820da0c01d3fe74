#include "ui/options/OptionsDialog.h"

#include "platform/DialogService.h"
#include "platform/Pickers.h"
#include "platform/UncPath.h"
#include "platform/WaitCursor.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "storage/ScriptKeys.h"
#include "ui/common/TypingLimit.h"
#include "ui/common/WindowMessages.h"
#include "ui/common/WindowPlacement.h"
#include "ui_OptionsDialog.h"

#include <QKeyEvent>
#include <QStyle>

namespace tarvik {
namespace {

// Folder names are told apart as the file system tells them apart.
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kFolderCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kFolderCase = Qt::CaseSensitive;
#endif

// The decimal form of the port field's numeric value: its leading digits,
// without leading zeros; "0" when there are none.
QString PortText(const QString& text) {
    qsizetype digits = 0;
    while (digits < text.size() && text.at(digits).isDigit() && text.at(digits).unicode() < 128)
        ++digits;
    return QString::number(text.left(digits).toInt());
}

} // namespace

OptionsDialog::OptionsDialog(ProgramSettings& settings, DialogService& dialogs,
                             const QString& settingsFile, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::OptionsDialog>()), settings_(settings),
      dialogs_(dialogs), settingsFile_(settingsFile) {
    ui_->setupUi(this);
    ui_->saveButton->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ui_->closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    for (QLineEdit* edit : {ui_->zipScriptNameBox, ui_->unzipScriptNameBox, ui_->zipFileBox,
                            ui_->unzipFileBox, ui_->mailPortBox})
        edit->installEventFilter(this);
    // The read-only boxes take no typing, so they have no limit at all.
    for (QLineEdit* edit :
         {ui_->zipScriptNameBox, ui_->unzipScriptNameBox, ui_->zipFileBox, ui_->mailPortBox})
        LimitTyping(edit);
    connectControls();
    load();
    FixDialogSize(this, QSize(620, 0));
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::load() {
    WaitCursor wait;
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Options Screen"));
    const IniDocument doc = LoadIniDocument(settingsFile_).value_or(IniDocument());
    const auto read = [&doc](const QString& key, const QString& fallback) {
        return doc.value(keys::kOptions, key, fallback);
    };
    const auto flag = [&read](const QString& key, const char* fallback) {
        return read(key, QString::fromLatin1(fallback)).toLower() == QLatin1String("yes");
    };
    ui_->uncPathsCheck->setChecked(flag(keys::kUncPaths, "Yes"));
    ui_->newErrorFileCheck->setChecked(flag(keys::kNewErrorFile, "No"));
    ui_->militaryTimeCheck->setChecked(flag(keys::kMilitaryTime, "Yes"));
    SetWholeText(ui_->zipScriptNameBox, read(keys::kZipScriptFile, {}));
    SetWholeText(ui_->unzipScriptNameBox, read(keys::kUnzipScriptFile, {}));
    SetWholeText(ui_->zipFileBox, read(keys::kZipFile, {}));
    ui_->unzipFileBox->setText(read(keys::kUnzipFile, {}));
    ui_->scriptFolderBox->setText(read(keys::kScriptFilePath, settings_.defaultScriptFolder));
    ui_->errorFolderBox->setText(read(keys::kErrorFilePath, settings_.defaultLogFolder));
    ui_->mailServerBox->setText(read(keys::kMailServer, settings_.mailServer));
    SetWholeText(ui_->mailPortBox, read(keys::kMailServerPort, QStringLiteral("25")));
    ui_->alertAddressBox->setText(read(keys::kAlertAddress, {}));
    ui_->settingsFileLabel->setText(QStringLiteral("Settings file: ") + settingsFile_);
    ui_->saveButton->setEnabled(false);
    scriptFolderAtLoad_ = ui_->scriptFolderBox->text();
}

void OptionsDialog::connectControls() {
    const Ui::OptionsDialog& u = *ui_;
    for (QAbstractButton* check : {u.uncPathsCheck, u.newErrorFileCheck, u.militaryTimeCheck})
        connect(check, &QAbstractButton::clicked, this, &OptionsDialog::setModified);
    for (QLineEdit* edit :
         {u.zipScriptNameBox, u.unzipScriptNameBox, u.zipFileBox, u.unzipFileBox, u.scriptFolderBox,
          u.errorFolderBox, u.mailServerBox, u.mailPortBox, u.alertAddressBox})
        connect(edit, &QLineEdit::textChanged, this, &OptionsDialog::setModified);
    connect(u.chooseUnzipFileButton, &QAbstractButton::clicked, this,
            &OptionsDialog::chooseUnzipFile);
    connect(u.clearUnzipFileButton, &QAbstractButton::clicked, u.unzipFileBox, &QLineEdit::clear);
    connect(u.chooseScriptFolderButton, &QAbstractButton::clicked, this,
            [this] { chooseFolder(true); });
    connect(u.chooseErrorFolderButton, &QAbstractButton::clicked, this,
            [this] { chooseFolder(false); });
    connect(u.saveButton, &QAbstractButton::clicked, this, &OptionsDialog::save);
    connect(u.closeButton, &QAbstractButton::clicked, this, &OptionsDialog::reject);
}

void OptionsDialog::setModified() const {
    ui_->saveButton->setEnabled(true);
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->mailPortBox && event->type() == QEvent::FocusOut) {
        normalisePort();
    } else if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        // Only typed characters are filtered; editing and moving keys pass.
        if (text.size() == 1 && text.at(0).isPrint()) {
            const QChar c = text.at(0);
            if (watched == ui_->mailPortBox && !(c >= u'0' && c <= u'9'))
                return true;
            if (watched != ui_->mailPortBox && c == u'.')
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OptionsDialog::normalisePort() const {
    const QString text = PortText(ui_->mailPortBox->text());
    if (text != ui_->mailPortBox->text())
        ui_->mailPortBox->setText(text);
}

void OptionsDialog::chooseUnzipFile() {
    const QString picked =
        PickFileRemembering(dialogs_, this, settings_, QString::fromUtf16(kZipFilesFilter),
                            QStringLiteral("Select a file to unzip"));
    if (picked.isEmpty())
        return;
    ui_->unzipFileBox->setText(WithoutZipEnding(picked));
}

void OptionsDialog::chooseFolder(bool scriptFolder) {
    const QString title = scriptFolder ? QStringLiteral("Select the location of the script files")
                                       : QStringLiteral("Select the location of the error file");
    const QString start = scriptFolder ? settings_.scriptFilePath : settings_.errorFilePath;
    const QString picked = PickFolder(dialogs_, this, title, start);
    if (picked.isEmpty())
        return;
    QString folder = ToUncPath(picked, settings_.uncPaths);
    // The root keeps its one separator: an empty value would remove the key
    // and the program's folder would be used after the next start.
    if (folder.size() > 1)
        folder = StripTrailingSeparator(folder);
    (scriptFolder ? ui_->scriptFolderBox : ui_->errorFolderBox)->setText(folder);
}

void OptionsDialog::save() {
    WaitCursor wait;
    // Save may be reached without the port field losing the focus.
    normalisePort();
    ProgramSettings values;
    values.uncPaths = ui_->uncPathsCheck->isChecked();
    values.newErrorFile = ui_->newErrorFileCheck->isChecked();
    values.militaryTime = ui_->militaryTimeCheck->isChecked();
    values.zipScriptFile = ui_->zipScriptNameBox->text();
    values.unzipScriptFile = ui_->unzipScriptNameBox->text();
    values.zipFile = ui_->zipFileBox->text();
    values.unzipFile = ui_->unzipFileBox->text();
    values.scriptFilePath = ui_->scriptFolderBox->text();
    values.errorFilePath = ui_->errorFolderBox->text();
    values.mailServer = ui_->mailServerBox->text();
    values.alertAddress = ui_->alertAddressBox->text().trimmed();
    if (!SaveProgramSettings(settings_, values, ui_->mailPortBox->text(), settingsFile_)) {
        // The changes stay unsaved rather than being lost without a word.
        dialogs_.reportError(this, QStringLiteral("The settings file ") + settingsFile_ +
                                       QStringLiteral(" could not be written."));
        return;
    }
    ui_->saveButton->setEnabled(false);
}

bool OptionsDialog::scriptFolderChanged() const {
    return StripTrailingSeparator(settings_.scriptFilePath)
               .compare(StripTrailingSeparator(scriptFolderAtLoad_), kFolderCase) != 0;
}

void OptionsDialog::reject() {
    if (ui_->saveButton->isEnabled() && KeepOpenToSave(dialogs_, this))
        return;
    QDialog::reject();
}

} // namespace tarvik
