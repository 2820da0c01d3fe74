#pragma once

#include <QSize>
#include <QString>

class QDialog;
class QWidget;

namespace tarvik {

// Where a resizable window stands and how large it is, kept between starts in
// the settings file under [Windows] (a section older readers ignore), one key
// per window: "x,y,width,height", with ",maximized" when it was.
class WindowPlacement {
public:
    // `designed` is the window's starting and smallest size (widened to what
    // its layout needs in the current font).
    WindowPlacement(QWidget* window, const QString& key, const QString& settingsFile,
                    QSize designed);

    // Gives the window its stored size and place, or the designed size
    // centred on `over` (or on its screen). A stored place that no screen
    // shows any more is not used.
    void restore(const QWidget* over);
    // Stores the window's size and place (its normal ones when maximized).
    void save() const;

private:
    QWidget* window_;
    QString key_;
    QString settingsFile_;
};

// A dialog that does not resize: its size is what its layout needs (and at
// least `atLeast`), and it asks the window manager for no minimise or
// maximise button, only the close box.
void FixDialogSize(QDialog* dialog, QSize atLeast = {});

} // namespace tarvik
