#pragma once

#include "platform/DialogService.h"

namespace tarvik {

// The dialog service of the running program: QMessageBox, QInputDialog and
// QFileDialog.
class QtDialogService final : public DialogService {
public:
    MessageAnswer showMessage(QWidget* parent, const MessageRequest& request) override;
    std::optional<QString> askText(QWidget* parent, const QString& prompt, const QString& title,
                                   const QString& defaultText) override;
    void beep() override;
    QString chooseFile(QWidget* parent, const QString& title, const QString& startFolder,
                       const QString& qtFilter) override;
    QString chooseFileOrNewName(QWidget* parent, const QString& title, const QString& startFolder,
                                const QString& qtFilter) override;
    QString chooseFolder(QWidget* parent, const QString& title,
                         const QString& startFolder) override;
};

} // namespace tarvik
