#include "ui/editors/EmailSettingsDialog.h"

#include "platform/DialogService.h"
#include "platform/ListWidth.h"
#include "platform/WaitCursor.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ScriptFields.h"
#include "storage/ScriptKeys.h"
#include "storage/ZipScript.h"
#include "ui/common/WindowMessages.h"
#include "ui/common/WindowPlacement.h"
#include "ui/editors/ListRows.h"
#include "ui_EmailSettingsDialog.h"

#include <QKeyEvent>

// Resources of a static library are registered by hand, outside any namespace.
static void initUiEditorsResources() {
    Q_INIT_RESOURCE(tarvik_ui_editors);
}

namespace tarvik {
namespace {

const QString kAddressPrompt = QStringLiteral("Enter email address");
const QString kAddressTitle = QStringLiteral("Email Addresses");

QString orDefault(const IniDocument& doc, const QString& key, const QString& fallback) {
    const QString value = ReadText(doc, key);
    return value.isEmpty() ? fallback : value;
}

} // namespace

QString EmailSettingsDialog::samplePlaceholderAddress() {
    return QStringLiteral("yourname@yourmailhost.com");
}

EmailSettingsDialog::EmailSettingsDialog(DialogService& dialogs, const QString& scriptFile,
                                         const QStringList& directories, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::EmailSettingsDialog>()), dialogs_(dialogs),
      scriptFile_(scriptFile) {
    initUiEditorsResources();
    ui_->setupUi(this);
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Email Settings Screen"));
    ui_->bodyBox->installEventFilter(this);
    load(directories);
    // Connected only now: loading is not a change, so Save starts disabled.
    connectControls();
    FixDialogSize(this);
}

EmailSettingsDialog::~EmailSettingsDialog() = default;

void EmailSettingsDialog::load(const QStringList& directories) {
    const WaitCursor wait;
    const IniDocument doc = LoadIniDocument(scriptFile_).value_or(IniDocument());
    ui_->attachmentCheck->setChecked(ReadFlag(doc, keys::kAttachment));

    const QString zipFile = ReadText(doc, keys::kZipFile);
    for (const QString& dir : directories)
        ui_->hyperLinkPathCombo->addItem(JoinPath(dir, zipFile + QStringLiteral(".zip")));
    FitComboDropWidth(ui_->hyperLinkPathCombo);

    const bool hyperLink = ReadFlag(doc, keys::kHyperLink);
    ui_->hyperLinkCheck->setChecked(hyperLink);
    ui_->hyperLinkPathCombo->setEnabled(hyperLink);
    const QString storedPath = ReadText(doc, keys::kHyperLinkPath);
    const bool useStored = hyperLink && !storedPath.isEmpty();
    const int stored =
        useStored ? ui_->hyperLinkPathCombo->findText(storedPath, Qt::MatchExactly) : -1;
    ui_->hyperLinkPathCombo->setCurrentIndex(stored >= 0 ? stored : 0);
    // The stored path names a directory no longer in the editor's list: the
    // first entry takes its place in the file at once.
    if (useStored && stored < 0 && ui_->hyperLinkPathCombo->count() > 0)
        WriteIni(keys::kOptions, keys::kHyperLinkPath, ui_->hyperLinkPathCombo->itemText(0),
                 scriptFile_);

    ui_->addressList->addItems(ReadFamily(doc, keys::kEmailAddress));
    FitListScrollWidth(ui_->addressList);
    ui_->senderNameBox->setText(orDefault(doc, keys::kSenderName, QStringLiteral("Tarvik")));
    ui_->senderAddressBox->setText(orDefault(doc, keys::kSender, samplePlaceholderAddress()));
    ui_->subjectBox->setText(orDefault(doc, keys::kSubject, QStringLiteral("Zip File")));
    ui_->bodyBox->setPlainText(
        orDefault(doc, keys::kBody, QStringLiteral("Attached is zip file.")));
    if (ui_->addressList->count() > 0)
        ui_->addressList->setCurrentRow(0);
    updateAddressButtons();
}

void EmailSettingsDialog::connectControls() {
    const auto enableSave = [this] { ui_->saveButton->setEnabled(true); };
    connect(ui_->attachmentCheck, &QAbstractButton::clicked, this, enableSave);
    connect(ui_->hyperLinkCheck, &QAbstractButton::clicked, this, [this, enableSave](bool on) {
        ui_->hyperLinkPathCombo->setEnabled(on);
        enableSave();
    });
    connect(ui_->hyperLinkPathCombo, &QComboBox::activated, this, enableSave);
    for (QLineEdit* box : {ui_->senderAddressBox, ui_->subjectBox, ui_->senderNameBox})
        connect(box, &QLineEdit::textChanged, this, enableSave);
    connect(ui_->bodyBox, &QPlainTextEdit::textChanged, this, enableSave);

    connect(ui_->addAddressButton, &QAbstractButton::clicked, this,
            &EmailSettingsDialog::addAddress);
    connect(ui_->editAddressButton, &QAbstractButton::clicked, this, [this] {
        switch (EditCurrentRow(dialogs_, this, ui_->addressList, kAddressPrompt, kAddressTitle)) {
        case RowEdit::Changed:
            addressesChanged();
            break;
        case RowEdit::Duplicate:
            dialogs_.reportError(this, QString::fromUtf16(kItemExists));
            break;
        case RowEdit::Unchanged:
            break;
        }
    });
    for (auto [button, remove] : {std::pair{ui_->deleteAddressButton, &DeleteCurrentRow},
                                  std::pair{ui_->deleteAllAddressesButton, &DeleteAllRows}}) {
        connect(button, &QAbstractButton::clicked, this, [this, remove] {
            if (remove(dialogs_, this, ui_->addressList))
                addressesChanged();
        });
    }
    connect(ui_->saveButton, &QAbstractButton::clicked, this, &EmailSettingsDialog::save);
    connect(ui_->closeButton, &QAbstractButton::clicked, this, &EmailSettingsDialog::reject);
}

bool EmailSettingsDialog::eventFilter(QObject* watched, QEvent* event) {
    // The body is one line: Enter inserts nothing.
    if (watched == ui_->bodyBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void EmailSettingsDialog::reject() {
    if (ui_->saveButton->isEnabled() && KeepOpenToSave(dialogs_, this))
        return; // stays open with the changes
    QDialog::reject();
}

void EmailSettingsDialog::addAddress() {
    const QString address =
        dialogs_.askText(this, kAddressPrompt, kAddressTitle, {}).value_or(QString()).trimmed();
    if (address.isEmpty())
        return;
    if (AddUniqueRow(ui_->addressList, address))
        addressesChanged();
    else
        dialogs_.reportError(this, QString::fromUtf16(kItemExists));
}

void EmailSettingsDialog::addressesChanged() {
    addressesChanged_ = true;
    ui_->saveButton->setEnabled(true);
    FitListScrollWidth(ui_->addressList);
    updateAddressButtons();
}

void EmailSettingsDialog::updateAddressButtons() {
    const bool any = ui_->addressList->count() > 0;
    for (QWidget* button :
         {ui_->editAddressButton, ui_->deleteAddressButton, ui_->deleteAllAddressesButton})
        button->setEnabled(any);
}

void EmailSettingsDialog::save() {
    ZipScriptEmail email;
    email.attachment = ui_->attachmentCheck->isChecked();
    email.hyperLink = ui_->hyperLinkCheck->isChecked();
    email.hyperLinkPath = ui_->hyperLinkPathCombo->currentText();
    for (int row = 0; row < ui_->addressList->count(); ++row)
        email.addresses.append(ui_->addressList->item(row)->text());
    email.senderName = ui_->senderNameBox->text();
    email.sender = ui_->senderAddressBox->text();
    email.subject = ui_->subjectBox->text();
    // A pasted line break cannot be stored in a one-line value.
    email.body = ui_->bodyBox->toPlainText().replace(u'\n', u' ');
    bool written = false;
    {
        const WaitCursor wait;
        written = UpdateIni(scriptFile_, [&](IniDocument& doc) {
            return WriteZipScriptEmail(doc, email, addressesChanged_);
        });
    }
    if (!written) {
        dialogs_.reportError(this, QStringLiteral("The email settings could not be written to ") +
                                       scriptFile_ + QStringLiteral("."));
        return;
    }
    ui_->saveButton->setEnabled(false);
    emit saved();
}

} // namespace tarvik
