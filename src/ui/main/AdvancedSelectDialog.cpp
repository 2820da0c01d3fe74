#include "ui/main/AdvancedSelectDialog.h"

#include "ui/common/WindowPlacement.h"
#include "ui_AdvancedSelectDialog.h"

#include <QEvent>

namespace tarvik {

AdvancedSelectDialog::AdvancedSelectDialog(const QString& lastFileSpec, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AdvancedSelectDialog>()) {
    ui_->setupUi(this);
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Advanced Select Screen"));
    ui_->patternBox->setText(lastFileSpec);
    ui_->patternBox->installEventFilter(this);
    connect(ui_->selectByPattern, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            ui_->patternBox->setFocus(Qt::OtherFocusReason);
    });
    connect(ui_->okButton, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QAbstractButton::clicked, this, &QDialog::reject);
    FixDialogSize(this);
}

AdvancedSelectDialog::~AdvancedSelectDialog() = default;

AdvancedSelection AdvancedSelectDialog::selection() const {
    AdvancedSelection s;
    if (ui_->selectUnzipScripts->isChecked())
        s.mode = AdvancedSelection::Mode::Unzip;
    else if (ui_->selectByPattern->isChecked())
        s.mode = AdvancedSelection::Mode::Pattern;
    s.pattern = ui_->patternBox->text().trimmed();
    s.deselectFirst = ui_->deselectFirstCheck->isChecked();
    return s;
}

bool AdvancedSelectDialog::eventFilter(QObject* watched, QEvent* event) {
    // A click into the pattern box chooses the pattern option.
    if (watched == ui_->patternBox && event->type() == QEvent::MouseButtonPress)
        ui_->selectByPattern->setChecked(true);
    return QDialog::eventFilter(watched, event);
}

} // namespace tarvik
