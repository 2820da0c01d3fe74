#include "ui/main/ScriptTypeChooser.h"

#include "ui/common/WindowPlacement.h"
#include "ui_ScriptTypeChooser.h"

namespace tarvik {

ScriptTypeChooser::ScriptTypeChooser(std::function<void(bool zip)> openEditor, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ScriptTypeChooser>()),
      openEditor_(std::move(openEditor)) {
    ui_->setupUi(this);
    connect(ui_->okButton, &QAbstractButton::clicked, this,
            [this] { openEditor_(ui_->zipChoice->isChecked()); });
    connect(ui_->cancelButton, &QAbstractButton::clicked, this, &QDialog::reject);
    FixDialogSize(this, QSize(300, 0));
}

ScriptTypeChooser::~ScriptTypeChooser() = default;

} // namespace tarvik
