#pragma once

#include "platform/DialogService.h"

namespace tarvik {

// The dialog service of the running program: QMessageBox and QInputDialog.
class QtDialogService final : public DialogService {
public:
    MessageAnswer showMessage(QWidget* parent, const MessageRequest& request) override;
    std::optional<QString> askText(QWidget* parent, const QString& prompt, const QString& title,
                                   const QString& defaultText) override;
    void beep() override;
};

} // namespace tarvik
