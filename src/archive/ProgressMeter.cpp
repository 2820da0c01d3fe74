#include "archive/ProgressMeter.h"

#include <algorithm>

namespace tarvik::zipio {

void ProgressMeter::advance(qint64 bytes, const QString& file) {
    if (!report_)
        return;
    const std::lock_guard lock(mutex_);
    done_ = std::min(done_ + bytes, total_);
    file_ = file;
    report();
}

void ProgressMeter::restart() {
    const std::lock_guard lock(mutex_);
    done_ = 0;
}

void ProgressMeter::complete() {
    if (!report_)
        return;
    const std::lock_guard lock(mutex_);
    done_ = total_;
    report();
}

void ProgressMeter::report() {
    if (done_ < reported_)
        return;
    reported_ = done_;
    report_(done_, total_, file_);
}

} // namespace tarvik::zipio
