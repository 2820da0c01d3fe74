#include "ui/common/WindowMessages.h"

#include "platform/DialogService.h"
#include "storage/PlatformError.h"

namespace tarvik {

bool KeepOpenToSave(DialogService& dialogs, QWidget* owner) {
    return dialogs.showMessage(
               owner,
               {QStringLiteral("Do you want to save your changes before closing this screen?"),
                MessageIcon::Question, MessageButtons::YesNo, MessageAnswer::Yes}) ==
           MessageAnswer::Yes;
}

void ReportFileError(DialogService& dialogs, QWidget* owner, const QString& what,
                     const PlatformError& error) {
    dialogs.reportError(owner, what + QStringLiteral(". Error ") + QString::number(error.number) +
                                   QStringLiteral(" : ") + error.description);
}

} // namespace tarvik
