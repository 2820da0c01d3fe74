#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class OptionsDialog;
}

namespace tarvik {

class DialogService;
struct ProgramSettings;

// The options screen: shows what the settings file holds, saves the eleven
// options through SaveProgramSettings (file and memory), and asks before
// closing with unsaved changes.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    OptionsDialog(ProgramSettings& settings, DialogService& dialogs, const QString& settingsFile,
                  QWidget* parent = nullptr);
    ~OptionsDialog() override;

    // The script folder in the settings is no longer the one shown when the
    // screen opened: the main window must list the scripts again.
    bool scriptFolderChanged() const;

    // Closing asks first while there are unsaved changes.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load();
    void connectControls();
    void setModified() const;
    void chooseUnzipFile();
    void chooseFolder(bool scriptFolder);
    void normalisePort() const;
    void save();

    std::unique_ptr<Ui::OptionsDialog> ui_;
    ProgramSettings& settings_;
    DialogService& dialogs_;
    QString settingsFile_;
    QString scriptFolderAtLoad_;
};

} // namespace tarvik
