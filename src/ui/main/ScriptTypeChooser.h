#pragma once

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class ScriptTypeChooser;
}

namespace tarvik {

// The type chooser of the Add command. OK opens the editor of the chosen type
// and the chooser stays open when that editor closes, so another script can
// be created; Cancel or Esc close it.
class ScriptTypeChooser : public QDialog {
    Q_OBJECT
public:
    // `openEditor(true)` for a zip script, `openEditor(false)` for an unzip script.
    explicit ScriptTypeChooser(std::function<void(bool zip)> openEditor, QWidget* parent = nullptr);
    ~ScriptTypeChooser() override;

private:
    std::unique_ptr<Ui::ScriptTypeChooser> ui_;
    std::function<void(bool)> openEditor_;
};

} // namespace tarvik
