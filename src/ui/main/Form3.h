#pragma once

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class Form3;
}

namespace tarvik {

// The type chooser of the Add command. OK opens the editor of the chosen type
// and the chooser stays open when that editor closes, so another script can
// be created; Cancel or Esc close it.
class Form3 : public QDialog {
    Q_OBJECT
public:
    // `openEditor(true)` for a zip script, `openEditor(false)` for an unzip script.
    explicit Form3(std::function<void(bool zip)> openEditor, QWidget* parent = nullptr);
    ~Form3() override;

private:
    std::unique_ptr<Ui::Form3> ui_;
    std::function<void(bool)> openEditor_;
};

} // namespace tarvik
