#include "ui/main/AdvancedSelectDialog.h"

#include "ui_AdvancedSelectDialog.h"

#include <QEvent>

namespace tarvik {

AdvancedSelectDialog::AdvancedSelectDialog(const QString& lastFileSpec, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AdvancedSelectDialog>()) {
    ui_->setupUi(this);
    setWindowTitle(QStringLiteral("Tarvik") + QStringLiteral(" - Advanced Select Screen"));
    ui_->Text1->setText(lastFileSpec);
    ui_->Text1->installEventFilter(this);
    connect(ui_->Option3, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            ui_->Text1->setFocus(Qt::OtherFocusReason);
    });
    connect(ui_->Command1, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(ui_->Command2, &QAbstractButton::clicked, this, &QDialog::reject);
}

AdvancedSelectDialog::~AdvancedSelectDialog() = default;

AdvancedSelection AdvancedSelectDialog::selection() const {
    AdvancedSelection s;
    if (ui_->Option2->isChecked())
        s.mode = AdvancedSelection::Mode::Unzip;
    else if (ui_->Option3->isChecked())
        s.mode = AdvancedSelection::Mode::Pattern;
    s.pattern = ui_->Text1->text().trimmed();
    s.deselectFirst = ui_->Check1->isChecked();
    return s;
}

bool AdvancedSelectDialog::eventFilter(QObject* watched, QEvent* event) {
    // A click into the pattern box chooses the pattern option.
    if (watched == ui_->Text1 && event->type() == QEvent::MouseButtonPress)
        ui_->Option3->setChecked(true);
    return QDialog::eventFilter(watched, event);
}

} // namespace tarvik
