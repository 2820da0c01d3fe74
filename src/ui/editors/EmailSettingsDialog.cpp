#include "ui/editors/EmailSettingsDialog.h"

#include "platform/DialogService.h"
#include "platform/ListWidth.h"
#include "platform/WaitCursor.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ScriptFields.h"
#include "storage/ScriptKeys.h"
#include "storage/ZipScript.h"
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
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Email Settings Screen"));
    ui_->Text3->installEventFilter(this);
    load(directories);
    // Connected only now: loading is not a change, so Save starts disabled.
    connectControls();
    setFixedSize(sizeHint());
}

EmailSettingsDialog::~EmailSettingsDialog() = default;

void EmailSettingsDialog::load(const QStringList& directories) {
    const WaitCursor wait;
    const IniDocument doc = LoadIniDocument(scriptFile_).value_or(IniDocument());
    ui_->Check1->setChecked(ReadFlag(doc, keys::kAttachment));

    const QString zipFile = ReadText(doc, keys::kZipFile);
    for (const QString& dir : directories)
        ui_->Combo1->addItem(JoinPath(dir, zipFile + QStringLiteral(".zip")));
    FitComboDropWidth(ui_->Combo1);

    const bool hyperLink = ReadFlag(doc, keys::kHyperLink);
    ui_->Check2->setChecked(hyperLink);
    ui_->Combo1->setEnabled(hyperLink);
    const QString storedPath = ReadText(doc, keys::kHyperLinkPath);
    const bool useStored = hyperLink && !storedPath.isEmpty();
    const int stored = useStored ? ui_->Combo1->findText(storedPath, Qt::MatchExactly) : -1;
    ui_->Combo1->setCurrentIndex(stored >= 0 ? stored : 0);
    // The stored path names a directory no longer in the editor's list: the
    // first entry takes its place in the file at once.
    if (useStored && stored < 0 && ui_->Combo1->count() > 0)
        WriteIni(keys::kOptions, keys::kHyperLinkPath, ui_->Combo1->itemText(0), scriptFile_);

    ui_->List1->addItems(ReadFamily(doc, keys::kEmailAddress));
    FitListScrollWidth(ui_->List1);
    ui_->Text4->setText(orDefault(doc, keys::kSenderName, QStringLiteral("Tarvik")));
    ui_->Text1->setText(orDefault(doc, keys::kSender, samplePlaceholderAddress()));
    ui_->Text2->setText(orDefault(doc, keys::kSubject, QStringLiteral("Zip File")));
    ui_->Text3->setPlainText(orDefault(doc, keys::kBody, QStringLiteral("Attached is zip file.")));
    if (ui_->List1->count() > 0)
        ui_->List1->setCurrentRow(0);
    updateAddressButtons();
}

void EmailSettingsDialog::connectControls() {
    const auto enableSave = [this] { ui_->Command6->setEnabled(true); };
    connect(ui_->Check1, &QAbstractButton::clicked, this, enableSave);
    connect(ui_->Check2, &QAbstractButton::clicked, this, [this, enableSave](bool on) {
        ui_->Combo1->setEnabled(on);
        enableSave();
    });
    connect(ui_->Combo1, &QComboBox::activated, this, enableSave);
    for (QLineEdit* box : {ui_->Text1, ui_->Text2, ui_->Text4})
        connect(box, &QLineEdit::textChanged, this, enableSave);
    connect(ui_->Text3, &QPlainTextEdit::textChanged, this, enableSave);

    connect(ui_->Command1, &QAbstractButton::clicked, this, &EmailSettingsDialog::addAddress);
    connect(ui_->Command2, &QAbstractButton::clicked, this, &EmailSettingsDialog::editAddress);
    connect(ui_->Command3, &QAbstractButton::clicked, this, &EmailSettingsDialog::deleteAddress);
    connect(ui_->Command11, &QAbstractButton::clicked, this,
            &EmailSettingsDialog::deleteAllAddresses);
    connect(ui_->Command6, &QAbstractButton::clicked, this, &EmailSettingsDialog::save);
    connect(ui_->Command7, &QAbstractButton::clicked, this, &EmailSettingsDialog::reject);
}

bool EmailSettingsDialog::eventFilter(QObject* watched, QEvent* event) {
    // The body is one line: Enter inserts nothing.
    if (watched == ui_->Text3 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void EmailSettingsDialog::reject() {
    if (ui_->Command6->isEnabled() &&
        dialogs_.showMessage(
            this, {QStringLiteral("Do you want to save your changes before closing this screen?"),
                   MessageIcon::Question, MessageButtons::YesNo, MessageAnswer::Yes}) ==
            MessageAnswer::Yes)
        return; // stays open with the changes
    QDialog::reject();
}

void EmailSettingsDialog::addAddress() {
    const QString address =
        dialogs_.askText(this, kAddressPrompt, kAddressTitle, {}).value_or(QString()).trimmed();
    if (address.isEmpty())
        return;
    const int remembered = RememberedRow(ui_->List1);
    if (FindRowIgnoringCase(ui_->List1, address) >= 0) {
        dialogs_.reportError(this, QStringLiteral("Item already exists."));
    } else {
        ui_->List1->addItem(address);
        addressesChanged();
    }
    ui_->List1->setCurrentRow(remembered);
}

void EmailSettingsDialog::editAddress() {
    QListWidgetItem* item = ui_->List1->currentItem();
    if (!item)
        return;
    const QString old = item->text();
    const QString answer =
        dialogs_.askText(this, kAddressPrompt, kAddressTitle, old).value_or(QString()).trimmed();
    if (answer.isEmpty() || answer == old)
        return;
    if (answer.compare(old, Qt::CaseInsensitive) == 0) {
        item->setText(answer); // only the letter case changed
        addressesChanged();
        return;
    }
    const int remembered = RememberedRow(ui_->List1);
    if (FindRowIgnoringCase(ui_->List1, answer) >= 0) {
        dialogs_.reportError(this, QStringLiteral("Item already exists."));
    } else {
        item->setText(answer);
        addressesChanged();
    }
    ui_->List1->setCurrentRow(remembered);
}

void EmailSettingsDialog::deleteAddress() {
    const int row = ui_->List1->currentRow();
    if (row < 0 || !dialogs_.confirm(
                       this, QStringLiteral("Are you sure you want to delete the selected item?")))
        return;
    delete ui_->List1->takeItem(row);
    if (ui_->List1->count() > 0)
        ui_->List1->setCurrentRow(0);
    addressesChanged();
}

void EmailSettingsDialog::deleteAllAddresses() {
    if (!dialogs_.confirm(this, QStringLiteral("Are you sure you want to delete all the items?")))
        return;
    ui_->List1->clear();
    addressesChanged();
}

void EmailSettingsDialog::addressesChanged() {
    addressesChanged_ = true;
    ui_->Command6->setEnabled(true);
    FitListScrollWidth(ui_->List1);
    updateAddressButtons();
}

void EmailSettingsDialog::updateAddressButtons() {
    const bool any = ui_->List1->count() > 0;
    for (QWidget* button : {ui_->Command2, ui_->Command3, ui_->Command11})
        button->setEnabled(any);
}

void EmailSettingsDialog::save() {
    ZipScriptEmail email;
    email.attachment = ui_->Check1->isChecked();
    email.hyperLink = ui_->Check2->isChecked();
    email.hyperLinkPath = ui_->Combo1->currentText();
    for (int row = 0; row < ui_->List1->count(); ++row)
        email.addresses.append(ui_->List1->item(row)->text());
    email.senderName = ui_->Text4->text();
    email.sender = ui_->Text1->text();
    email.subject = ui_->Text2->text();
    // A pasted line break cannot be stored in a one-line value.
    email.body = ui_->Text3->toPlainText().replace(u'\n', u' ');
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
    ui_->Command6->setEnabled(false);
    emit saved();
}

} // namespace tarvik
