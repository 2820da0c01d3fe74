#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class Form6;
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
class Form6 : public QDialog {
    Q_OBJECT
public:
    Form6(const QString& lastFileSpec, QWidget* parent = nullptr);
    ~Form6() override;

    AdvancedSelection selection() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::Form6> ui_;
};

} // namespace tarvik
