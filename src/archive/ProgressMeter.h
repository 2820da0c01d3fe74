#pragma once

#include "archive/ArchiveRequests.h"

#include <atomic>
#include <mutex>

namespace tarvik::zipio {

inline bool Stopped(const std::atomic<bool>* stop) {
    return stop && stop->load(std::memory_order_relaxed);
}

// Counts the file bytes an operation has done, from any of its threads, and
// hands the count to the request's ProgressReport one call at a time. A count
// that starts over (an archive built again without a failed file) is not
// reported until it passes the last report, so what the caller sees only rises.
class ProgressMeter {
public:
    ProgressMeter(ProgressReport report, qint64 total)
        : report_(std::move(report)), total_(total) {}
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;

    // Whether anyone listens: callers skip naming files otherwise.
    bool wanted() const { return bool(report_); }
    void advance(qint64 bytes, const QString& file);
    void restart();
    // Everything is done, whatever was counted.
    void complete();

private:
    void report(); // with mutex_ held

    const ProgressReport report_;
    const qint64 total_;
    std::mutex mutex_;
    qint64 done_ = 0;
    qint64 reported_ = -1;
    QString file_;
};

// What a libzip source of a build watches besides its file: the stop flag and
// the meter; either may be null.
struct BuildWatch {
    const std::atomic<bool>* stop = nullptr;
    ProgressMeter* meter = nullptr;
};

} // namespace tarvik::zipio
