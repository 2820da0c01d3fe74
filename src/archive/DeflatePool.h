#pragma once

#include "archive/SourceWalker.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <zlib.h>

namespace tarvik::zipio {

// A growable byte buffer that keeps its storage between uses and never
// clears what it hands out.
class ByteBuffer {
public:
    unsigned char* data() const { return data_.get(); }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    void setSize(size_t size) { size_ = size; }
    // Room for at least `capacity` bytes, keeping the first size() bytes.
    void reserve(size_t capacity);

private:
    std::unique_ptr<unsigned char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// One piece of an entry's data, compressed on its own: a whole file, or a
// stretch of a large one.
struct DeflateJob {
    size_t entry = 0;
    qint64 offset = 0;
    qint64 length = 0;
    bool last = false; // the piece that ends the file
};

// What a job left for the writer.
struct DeflateResult {
    ByteBuffer out;   // raw deflate data
    uLong crc = 0;    // CRC-32 of the piece's input
    int zipError = 0; // ZIP_ER_OPEN or ZIP_ER_READ when the file failed
    int sysError = 0; // errno; EIO when the file changed size
    bool changed = false;
};

// Deflates the files of an entry list on worker threads. Each file is cut
// into pieces of at most kPieceSize bytes; a piece after the first starts
// with the 32 KiB before it as preset dictionary, and every piece but the
// last ends on a sync flush, so the pieces joined in order are one deflate
// stream. Where the cuts fall depends only on the file sizes, never on the
// number of workers or on timing, so the compressed bytes do not either.
//
// The list is handed over entry by entry while it is still being made (the
// folder walk), so workers start on the first files as soon as they are
// listed. Workers take pieces in list order, a few small ones at a time, at
// most kSlots pieces and kBudget bytes of input ahead of the writer, which
// collects them in order with result() and hands each back with release()
// once the list is closed. Memory is therefore bounded by the budget whatever
// the files. A worker that finds no room sleeps until half the room is free
// again, and the writer waits for a few finished pieces at a time, so small
// files do not cost a wake-up each.
class DeflatePool {
public:
    static constexpr qint64 kPieceSize = 1 << 20;
    static constexpr int kDictionary = 32 * 1024;
    static constexpr size_t kSlots = 2048;
    static constexpr qint64 kBudget = 8 * kPieceSize;

    // `level` 1-9; `threads` workers (0: the writer deflates every piece
    // itself when it needs it). Entries follow with add().
    DeflatePool(int level, int threads);
    // The pool of a complete list.
    DeflatePool(const std::vector<SourceEntry>& entries, int level, int threads);
    ~DeflatePool(); // stops and joins the workers
    DeflatePool(const DeflatePool&) = delete;
    DeflatePool& operator=(const DeflatePool&) = delete;

    // Appends an entry to the list (the pool keeps a copy). Called from one
    // thread, the one that later collects.
    void add(const SourceEntry& entry);
    // The list is complete; what follows needs it so.
    void close();
    size_t entryCount() const { return entries_.size(); }

    int level() const { return level_; }
    // The pieces of entry `entry` are jobs [firstJob(entry), firstJob(entry + 1)).
    size_t firstJob(size_t entry) const { return firstJob_[entry]; }
    const DeflateJob& job(size_t index) const { return jobs_[index]; }

    // Waits for job `index`, the one after the last released job.
    const DeflateResult& result(size_t index);
    // The writer is done with job `index` and every job before it.
    void release(size_t index);

private:
    struct Worker;
    struct Slot {
        bool done = false;
        DeflateResult result;
    };
    // A job a worker took, with the entry it reads.
    struct Claimed {
        size_t index = 0;
        DeflateJob job;
        const SourceEntry* entry = nullptr;
    };

    void flush();
    void startWorkers();
    void work();
    bool claim(std::vector<Claimed>& batch);
    bool claimable() const;
    bool roomy() const;
    bool doneUpTo(size_t end) const;
    void finish(const std::vector<Claimed>& batch);
    void run(Worker& worker,
             const Claimed& claimed); // a failure, even no memory, goes into the result
    void deflatePiece(Worker& worker, const Claimed& claimed);
    Slot& slot(size_t index) { return slots_[index % kSlots]; }
    const Slot& slot(size_t index) const { return slots_[index % kSlots]; }

    const int level_;
    const int threadsWanted_;
    std::vector<SourceEntry> pending_; // added since the last flush (the adding thread's)
    std::vector<Slot> slots_;

    // Guarded by mutex_ while the list is open; fixed once it is closed.
    // Entries in a deque: a worker's pointer into it survives later additions.
    std::deque<SourceEntry> entries_;
    std::vector<DeflateJob> jobs_;
    std::vector<size_t> firstJob_;

    // Guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable jobDone_;
    size_t next_ = 0;        // the next job to hand out
    size_t released_ = 0;    // jobs before this are released
    qint64 inFlight_ = 0;    // input bytes of jobs handed out and not released
    size_t sleepers_ = 0;    // workers waiting for room
    size_t idle_ = 0;        // workers waiting for more of the list
    size_t awaitedFrom_ = 0; // the writer waits for jobs [awaitedFrom_, awaitedEnd_)
    size_t awaitedEnd_ = 0;
    bool closed_ = false;
    bool stop_ = false;

    bool startFailed_ = false;
    std::unique_ptr<Worker> inlineWorker_; // when no thread could be started
    std::vector<std::thread> threads_;
};

} // namespace tarvik::zipio
