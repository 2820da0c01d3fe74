#include "platform/DialogService.h"

namespace tarvik {

DialogService::~DialogService() = default;

void DialogService::reportError(QWidget* parent, const QString& text) {
    beep();
    showMessage(parent, {text, MessageIcon::Exclamation, MessageButtons::Ok, MessageAnswer::Ok});
}

bool DialogService::confirm(QWidget* parent, const QString& text) {
    return showMessage(parent, {text, MessageIcon::Question, MessageButtons::YesNo,
                                MessageAnswer::No}) == MessageAnswer::Yes;
}

void DialogService::inform(QWidget* parent, const QString& text) {
    showMessage(parent, {text, MessageIcon::Information, MessageButtons::Ok, MessageAnswer::Ok});
}

} // namespace tarvik
