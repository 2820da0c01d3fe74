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

QString UnusableNameText(const QString& what, QChar character) {
    const QString shown =
        character.isPrint()
            ? u'"' + QString(character) + u'"'
            : QStringLiteral("U+%1").arg(uint(character.unicode()), 4, 16, QChar(u'0'));
    return what + QStringLiteral(" cannot hold the character ") + shown +
           QStringLiteral(". Please enter a different name.");
}

void ReportFileError(DialogService& dialogs, QWidget* owner, const QString& what,
                     const PlatformError& error) {
    dialogs.reportError(owner, what + QStringLiteral(". Error ") + QString::number(error.number) +
                                   QStringLiteral(" : ") + error.description);
}

} // namespace tarvik
