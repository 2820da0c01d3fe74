#include "platform/WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace tarvik {

WaitCursor::WaitCursor(Qt::CursorShape shape) {
    QGuiApplication::setOverrideCursor(QCursor(shape));
}

WaitCursor::~WaitCursor() {
    QGuiApplication::restoreOverrideCursor();
}

} // namespace tarvik
