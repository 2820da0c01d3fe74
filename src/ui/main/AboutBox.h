#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class AboutBox;
}

namespace tarvik {

// The program's name and version; OK or Esc closes it.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    ~AboutBox() override;

private:
    std::unique_ptr<Ui::AboutBox> ui_;
};

} // namespace tarvik
