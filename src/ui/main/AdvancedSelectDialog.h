#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class AdvancedSelectDialog;
}

namespace tarvik {

// What the advanced select screen was told to do.
struct AdvancedSelection {
    enum class Mode { Zip, Unzip, Pattern };
    Mode mode = Mode::Zip;
    QString pattern; // trimmed; used in Pattern mode
    bool deselectFirst = true;
};

// The advanced select screen: marks rows by script type or by a file pattern.
// Every opening starts with the zip option and the de-select box checked;
// only the pattern is carried over.
class AdvancedSelectDialog : public QDialog {
    Q_OBJECT
public:
    AdvancedSelectDialog(const QString& lastFileSpec, QWidget* parent = nullptr);
    ~AdvancedSelectDialog() override;

    AdvancedSelection selection() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::AdvancedSelectDialog> ui_;
};

} // namespace tarvik
