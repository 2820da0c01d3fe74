#include "ui/main/AboutBox.h"

#include "ui/common/WindowPlacement.h"
#include "ui_AboutBox.h"

namespace tarvik {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutBox>()) {
    ui_->setupUi(this);
    QFont title = ui_->titleLabel->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    ui_->titleLabel->setFont(title);
    ui_->versionLabel->setText(QStringLiteral("Version ") + QString::fromLatin1(TARVIK_VERSION));
    connect(ui_->okButton, &QAbstractButton::clicked, this, &QDialog::accept);
    FixDialogSize(this);
}

AboutBox::~AboutBox() = default;

} // namespace tarvik
