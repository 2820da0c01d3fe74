#include "engine/RunLog.h"

namespace tarvik {

RunLog::RunLog(const QString& path, bool startAfresh) : file_(path) {
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | QIODevice::Unbuffered |
        (startAfresh ? QIODevice::Truncate : QIODevice::Append);
    file_.open(mode);
}

RunLog::~RunLog() { close(false); }

void RunLog::write(const QString& line) {
    if (file_.isOpen())
        file_.write((line + QStringLiteral("\r\n")).toUtf8());
}

void RunLog::close(bool runFinished) {
    if (!file_.isOpen())
        return;
    const bool empty = file_.size() == 0;
    file_.close();
    if (runFinished && empty)
        file_.remove();
}

} // namespace tarvik
