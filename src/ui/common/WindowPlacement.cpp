#include "ui/common/WindowPlacement.h"

#include "storage/ProfileFile.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

namespace tarvik {
namespace {

const QString kSection = QStringLiteral("Windows");
const QString kMaximized = QStringLiteral("maximized");

} // namespace

WindowPlacement::WindowPlacement(QWidget* window, const QString& key, const QString& settingsFile,
                                 QSize designed)
    : window_(window), key_(key), settingsFile_(settingsFile) {
    window_->setMinimumSize(designed.expandedTo(window_->minimumSizeHint()));
    window_->resize(window_->minimumSize());
}

void WindowPlacement::restore(const QWidget* over) {
    const QStringList parts = settingsFile_.isEmpty()
                                  ? QStringList()
                                  : ReadIni(kSection, key_, {}, settingsFile_).split(u',');
    bool ok[4] = {};
    const int x = parts.value(0).toInt(&ok[0]);
    const int y = parts.value(1).toInt(&ok[1]);
    const int width = parts.value(2).toInt(&ok[2]);
    const int height = parts.value(3).toInt(&ok[3]);
    const QRect stored(x, y, width, height);
    if (ok[0] && ok[1] && ok[2] && ok[3] && QGuiApplication::screenAt(stored.center())) {
        window_->resize(stored.size().expandedTo(window_->minimumSize()));
        window_->move(stored.topLeft());
        if (parts.value(4) == kMaximized)
            window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
        return;
    }
    const QScreen* screen = over ? over->screen() : window_->screen();
    const QRect area = over     ? over->frameGeometry()
                       : screen ? screen->availableGeometry()
                                : QRect();
    if (area.isValid()) {
        QRect frame(QPoint(), window_->size());
        frame.moveCenter(area.center());
        window_->move(frame.topLeft());
    }
}

void FixDialogSize(QDialog* dialog, QSize atLeast) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(dialog->sizeHint().expandedTo(atLeast));
}

void WindowPlacement::save() const {
    if (settingsFile_.isEmpty())
        return;
    const QRect normal =
        window_->normalGeometry().isValid() ? window_->normalGeometry() : window_->geometry();
    // Stored as move() takes it: the frame's corner, not the inside's.
    const QPoint frame = normal.topLeft() - (window_->geometry().topLeft() - window_->pos());
    QString value = QStringLiteral("%1,%2,%3,%4")
                        .arg(frame.x())
                        .arg(frame.y())
                        .arg(normal.width())
                        .arg(normal.height());
    if (window_->isMaximized())
        value += u',' + kMaximized;
    WriteIni(kSection, key_, value, settingsFile_);
}

} // namespace tarvik
