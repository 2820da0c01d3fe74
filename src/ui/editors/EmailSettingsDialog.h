#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>

namespace Ui {
class EmailSettingsDialog;
}

namespace tarvik {

class DialogService;

// The e-mail settings of one zip script: attachment or hyper-link, the
// recipients, sender, subject and body. It reads and writes the script file
// directly; for a script not saved yet its Save is what creates the file.
class EmailSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `scriptFile` is the script's full path; `directories` are the zip
    // editor's directories, which give the hyper-link paths.
    EmailSettingsDialog(DialogService& dialogs, const QString& scriptFile,
                        const QStringList& directories, QWidget* parent = nullptr);
    ~EmailSettingsDialog() override;

    // Every way of closing asks about unsaved changes first.
    void reject() override;

    // The placeholder shown while a script has no sender address.
    static QString samplePlaceholderAddress();

signals:
    // The e-mail keys were written to the script file.
    void saved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load(const QStringList& directories);
    void connectControls();
    void addAddress();
    void save();
    void addressesChanged();
    void updateAddressButtons();

    std::unique_ptr<Ui::EmailSettingsDialog> ui_;
    DialogService& dialogs_;
    const QString scriptFile_;
    bool addressesChanged_ = false;
};

} // namespace tarvik
