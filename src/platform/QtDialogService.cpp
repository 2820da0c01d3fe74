#include "platform/QtDialogService.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace tarvik {
namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton boxButton(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Cancel:
        return QMessageBox::Cancel;
    case MessageAnswer::Yes:
        return QMessageBox::Yes;
    case MessageAnswer::No:
        return QMessageBox::No;
    case MessageAnswer::Ok:
        break;
    }
    return QMessageBox::Ok;
}

MessageAnswer answerOf(int button, MessageButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    default:
        break;
    }
    // Closed some other way: what the escape button would have said.
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Cancel;
    }
}

} // namespace

MessageAnswer QtDialogService::showMessage(QWidget* parent, const MessageRequest& request) {
    QMessageBox box(boxIcon(request.icon), QString::fromUtf16(kDialogTitle), request.text,
                    boxButtons(request.buttons), parent);
    box.setTextFormat(Qt::PlainText);
    // A message box cannot be resized: it offers no minimise or maximise button.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint);
    box.setDefaultButton(boxButton(request.defaultButton));
    return answerOf(box.exec(), request.buttons);
}

std::optional<QString> QtDialogService::askText(QWidget* parent, const QString& prompt,
                                                const QString& title, const QString& defaultText) {
    QInputDialog dialog(parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title.isEmpty() ? QString::fromUtf16(kDialogTitle) : title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtDialogService::beep() {
    QApplication::beep();
}

namespace {

// Qt's own file dialog everywhere: it matches the filter's patterns without
// regard to letter case (BACKUP.ZIP under "*.zip"), which not every desktop's
// dialog does.
QString pickFile(QWidget* parent, const QString& title, const QString& startFolder,
                 const QString& qtFilter, bool mayBeNew) {
    QFileDialog dialog(parent, title, startFolder, qtFilter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (mayBeNew) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("&Select"));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString QtDialogService::chooseFile(QWidget* parent, const QString& title,
                                    const QString& startFolder, const QString& qtFilter) {
    return pickFile(parent, title, startFolder, qtFilter, false);
}

QString QtDialogService::chooseFileOrNewName(QWidget* parent, const QString& title,
                                             const QString& startFolder, const QString& qtFilter) {
    return pickFile(parent, title, startFolder, qtFilter, true);
}

QString QtDialogService::chooseFolder(QWidget* parent, const QString& title,
                                      const QString& startFolder) {
    return QFileDialog::getExistingDirectory(parent, title, startFolder, QFileDialog::ShowDirsOnly);
}

} // namespace tarvik
