#include "archive/DeflatePool.h"

#include "archive/FileSource.h"
#include "archive/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <zip.h>

namespace tarvik::zipio {

void ByteBuffer::reserve(size_t capacity) {
    if (capacity <= capacity_)
        return;
    auto grown = std::make_unique_for_overwrite<unsigned char[]>(capacity);
    if (size_ > 0)
        std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
}

namespace {

// How much of a piece is judged at a time for being stored rather than deflated.
constexpr size_t kStretch = 64 * 1024;

// Whether deflate would gain next to nothing on `data`: its bytes are spread
// evenly over all 256 values and no 8-byte string in it recurs within the
// 32 KiB deflate can look back, as in compressed or encrypted data. The
// `history` bytes before `data` count as looked back at. Deflate stores such
// data anyway, after searching it for matches at its usual cost.
bool LooksIncompressible(const unsigned char* data, size_t length, size_t history) {
    // Four histograms side by side keep successive increments independent.
    quint32 counts[4][256] = {};
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        ++counts[0][data[i]];
        ++counts[1][data[i + 1]];
        ++counts[2][data[i + 2]];
        ++counts[3][data[i + 3]];
    }
    for (; i < length; ++i)
        ++counts[0][data[i]];
    double sum = 0;
    for (int b = 0; b < 256; ++b) {
        const double n = double(counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b]);
        if (n > 0)
            sum += n * std::log2(n);
    }
    // Bits per byte; noise of 64 KiB comes to about 7.997.
    const double entropy = std::log2(double(length)) - sum / double(length);
    if (entropy < 7.99)
        return false;

    // Recurring strings, found through anchors: the positions whose 4 bytes
    // hash to a multiple of 16. Two copies of a string share its anchors.
    constexpr int kBits = 12;
    quint32 seen[1 << kBits] = {};
    const size_t back = std::min<size_t>(history, DeflatePool::kDictionary);
    const unsigned char* from = data - back;
    const size_t span = back + length;
    int repeats = 0;
    for (size_t at = 0; at + 8 <= span; ++at) {
        quint32 four;
        std::memcpy(&four, from + at, 4);
        const quint32 hash = four * 2654435761u;
        if ((hash >> 28) != 0)
            continue;
        const quint32 slot = (hash >> (28 - kBits)) & ((1u << kBits) - 1);
        const quint32 earlier = seen[slot];
        if (earlier != 0 && at >= back && at - (earlier - 1) <= size_t(DeflatePool::kDictionary) &&
            std::memcmp(from + earlier - 1, from + at, 8) == 0 && ++repeats > 8)
            return false;
        seen[slot] = quint32(at + 1);
    }
    return true;
}

} // namespace

// A worker's deflate stream and input buffer, set up once and reset for
// every piece, so small files cost no allocations.
struct DeflatePool::Worker {
    z_stream stream{};
    bool ready = false;
    int level = 0; // the level the stream is set to now
    ByteBuffer input;

    explicit Worker(int level) {
        // Raw deflate (no zlib header), the window and memory level zip uses.
        ready = deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        this->level = level;
    }
    ~Worker() {
        if (ready)
            deflateEnd(&stream);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
};

namespace {

// Small pieces are taken several at a time: one lock per batch, not per file.
constexpr size_t kClaimBatch = 16;
constexpr qint64 kClaimBytes = 64 * 1024;
// The writer, once it caught up with the workers, sleeps until this many
// pieces more are done.
constexpr size_t kWriterBatch = 32;
// Entries are handed to the workers this many at a time while the list grows.
constexpr size_t kAddBatch = 16;
// Output buffers up to this size stay with their slot for the next piece;
// larger ones are freed, so the slots never hold more than a few MiB.
constexpr size_t kKeptOutput = 8 * 1024;

} // namespace

DeflatePool::DeflatePool(int level, int threads) : level_(level), threadsWanted_(threads) {
    slots_.resize(kSlots);
    if (threadsWanted_ <= 0)
        inlineWorker_ = std::make_unique<Worker>(level_);
}

DeflatePool::DeflatePool(const std::vector<SourceEntry>& entries, int level, int threads)
    : DeflatePool(level, threads) {
    for (const SourceEntry& entry : entries)
        add(entry);
    close();
}

DeflatePool::~DeflatePool() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    workAvailable_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void DeflatePool::add(const SourceEntry& entry) {
    pending_.push_back(entry);
    if (pending_.size() >= kAddBatch)
        flush();
}

void DeflatePool::flush() {
    if (pending_.empty())
        return;
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        for (SourceEntry& added : pending_) {
            const size_t e = entries_.size();
            entries_.push_back(std::move(added));
            firstJob_.push_back(jobs_.size());
            const SourceEntry& entry = entries_.back();
            if (entry.isFolder)
                continue;
            qint64 offset = 0;
            do {
                const qint64 length = std::min(kPieceSize, entry.size - offset);
                jobs_.push_back({e, offset, length, offset + length >= entry.size});
                offset += length;
            } while (offset < entry.size);
        }
        wake = idle_ > 0;
    }
    pending_.clear();
    if (wake)
        workAvailable_.notify_all();
    startWorkers();
}

// One worker per piece listed, up to the number wanted.
void DeflatePool::startWorkers() {
    while (!startFailed_ && threads_.size() < size_t(threadsWanted_) &&
           threads_.size() < jobs_.size()) {
        try {
            threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            startFailed_ = true; // fewer workers; with none the writer deflates alone
        }
    }
}

void DeflatePool::close() {
    flush();
    {
        const std::lock_guard lock(mutex_);
        firstJob_.push_back(jobs_.size());
        closed_ = true;
    }
    workAvailable_.notify_all();
    if (threads_.empty() && !inlineWorker_)
        inlineWorker_ = std::make_unique<Worker>(level_);
}

// Whether the next job may be handed out: the writer always gets the job it
// waits for, anything further needs a free slot and room in the budget.
bool DeflatePool::claimable() const {
    if (next_ >= jobs_.size() || next_ == released_)
        return true;
    return next_ < released_ + kSlots && inFlight_ + jobs_[next_].length <= kBudget;
}

// Whether to wake sleeping workers: half the slots and half the budget free.
bool DeflatePool::roomy() const {
    if (next_ >= jobs_.size() || next_ == released_)
        return true;
    return next_ + kSlots / 2 <= released_ + kSlots &&
           inFlight_ + jobs_[next_].length <= kBudget / 2;
}

bool DeflatePool::claim(std::vector<Claimed>& batch) {
    batch.clear();
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop_)
            return false;
        if (next_ < jobs_.size()) {
            if (claimable())
                break;
            ++sleepers_;
            workAvailable_.wait(lock, [this] { return stop_ || roomy(); });
            --sleepers_;
            continue;
        }
        if (closed_)
            return false;
        ++idle_;
        workAvailable_.wait(lock, [this] { return stop_ || closed_ || next_ < jobs_.size(); });
        --idle_;
    }
    qint64 input = 0;
    do {
        const size_t index = next_++;
        const DeflateJob& job = jobs_[index];
        inFlight_ += job.length;
        input += job.length;
        slot(index).done = false;
        batch.push_back({index, job, &entries_[job.entry]});
    } while (batch.size() < kClaimBatch && input < kClaimBytes && next_ < jobs_.size() &&
             claimable());
    return true;
}

bool DeflatePool::doneUpTo(size_t end) const {
    for (size_t i = awaitedFrom_; i < end; ++i) {
        if (i >= next_ || !slot(i).done)
            return false;
    }
    return true;
}

void DeflatePool::finish(const std::vector<Claimed>& batch) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        for (const Claimed& claimed : batch)
            slot(claimed.index).done = true;
        wake = awaitedEnd_ != 0 && doneUpTo(awaitedEnd_);
    }
    if (wake)
        jobDone_.notify_one();
}

void DeflatePool::work() {
    Worker worker(level_);
    std::vector<Claimed> batch;
    while (claim(batch)) {
        for (const Claimed& claimed : batch)
            run(worker, claimed);
        finish(batch);
    }
}

const DeflateResult& DeflatePool::result(size_t index) {
    if (inlineWorker_) {
        while (next_ <= index) {
            const size_t job = next_++;
            run(*inlineWorker_, {job, jobs_[job], &entries_[jobs_[job].entry]});
            slot(job).done = true;
        }
        return slot(index).result;
    }
    std::unique_lock lock(mutex_);
    awaitedFrom_ = index;
    if (!doneUpTo(index + 1)) {
        // Wake up once for a few pieces already handed out, not for each.
        awaitedEnd_ = std::max(index + 1, std::min(index + kWriterBatch, next_));
        jobDone_.wait(lock, [&] { return doneUpTo(awaitedEnd_); });
        awaitedEnd_ = 0;
    }
    return slot(index).result;
}

void DeflatePool::release(size_t index) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        for (; released_ <= index; ++released_) {
            inFlight_ -= jobs_[released_].length;
            // Output of a larger piece is not kept for the small ones after it.
            DeflateResult& result = slot(released_).result;
            if (result.out.capacity() > kKeptOutput)
                result.out = ByteBuffer();
        }
        wake = sleepers_ > 0 && roomy();
    }
    if (wake)
        workAvailable_.notify_all();
}

void DeflatePool::run(Worker& worker, const Claimed& claimed) {
    try {
        deflatePiece(worker, claimed);
    } catch (const std::bad_alloc&) {
        DeflateResult& result = slot(claimed.index).result;
        result.zipError = ZIP_ER_MEMORY;
        result.sysError = ENOMEM;
        result.changed = false;
    }
}

void DeflatePool::deflatePiece(Worker& worker, const Claimed& claimed) {
    const DeflateJob& job = claimed.job;
    DeflateResult& result = slot(claimed.index).result;
    result.out.setSize(0);
    result.crc = crc32(0, nullptr, 0);
    result.zipError = 0;
    result.sysError = 0;
    result.changed = false;
    const auto fail = [&result](int zipError, int sysError, bool changed = false) {
        result.zipError = zipError;
        result.sysError = sysError;
        result.changed = changed;
    };
    if (!worker.ready)
        return fail(ZIP_ER_MEMORY, ENOMEM);

    UniqueFd fd;
    struct stat st {};
    if (const int problem = OpenListedFile(*claimed.entry, fd, st))
        return fail(ZIP_ER_OPEN, problem, problem == kNotTheListedFile);
    if (st.st_size != claimed.entry->size)
        return fail(ZIP_ER_READ, EIO, true); // grew or shrank since it was listed

    // The piece, after the 32 KiB before it for the dictionary.
    const size_t dictionary = size_t(std::min<qint64>(kDictionary, job.offset));
    const size_t length = size_t(job.length);
    const size_t wanted = dictionary + length;
    worker.input.reserve(wanted);
    const off_t start = off_t(job.offset) - off_t(dictionary);
    if (start > 0 && ::lseek(fd.get(), start, SEEK_SET) != start)
        return fail(ZIP_ER_READ, errno);
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(fd.get(), worker.input.data() + got, wanted - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(ZIP_ER_READ, errno);
        if (n == 0)
            break;
        got += size_t(n);
    }
    if (got != wanted)
        return fail(ZIP_ER_READ, EIO, true); // shrank while it was read
    fd.reset();

    const unsigned char* data = worker.input.data() + dictionary;
    result.crc = crc32_z(result.crc, data, length);

    z_stream& z = worker.stream;
    if (deflateReset(&z) != Z_OK)
        return fail(ZIP_ER_INTERNAL, 0);
    if (worker.level != level_) {
        // Nothing deflated since the reset: no output to make room for.
        if (deflateParams(&z, level_, Z_DEFAULT_STRATEGY) != Z_OK)
            return fail(ZIP_ER_INTERNAL, 0);
        worker.level = level_;
    }
    if (dictionary > 0 && deflateSetDictionary(&z, worker.input.data(), uInt(dictionary)) != Z_OK)
        return fail(ZIP_ER_INTERNAL, 0);
    // deflateBound covers a finished stream; a sync flush adds an empty
    // stored block, and each change of level ends a block.
    result.out.reserve(size_t(deflateBound(&z, uLong(length))) + 16 + 16 * (length / kStretch + 1));
    ByteBuffer& out = result.out;
    const auto room = [&z, &out](bool more) {
        if (more || out.size() == out.capacity())
            out.reserve(out.capacity() * 2);
        z.next_out = out.data() + out.size();
        z.avail_out = uInt(out.capacity() - out.size());
    };
    const auto took = [&z, &out] { out.setSize(out.capacity() - z.avail_out); };

    // Stretch by stretch, so that data deflate cannot shrink is stored
    // instead of searched for matches in vain.
    size_t offset = 0;
    for (;;) {
        const size_t take = std::min(kStretch, length - offset);
        const bool end = offset + take == length;
        const int level =
            take == kStretch && LooksIncompressible(data + offset, take, dictionary + offset)
                ? 0
                : level_;
        // A change of level first deflates what came before at the old one.
        for (bool more = false; level != worker.level; more = true) {
            room(more);
            const int status = deflateParams(&z, level, Z_DEFAULT_STRATEGY);
            took();
            if (status == Z_OK)
                worker.level = level;
            else if (status != Z_BUF_ERROR)
                return fail(ZIP_ER_INTERNAL, 0);
        }
        z.next_in = const_cast<Bytef*>(data + offset);
        z.avail_in = uInt(take);
        const int flush = !end ? Z_NO_FLUSH : job.last ? Z_FINISH : Z_SYNC_FLUSH;
        for (;;) {
            room(false);
            const int status = deflate(&z, flush);
            took();
            if (status == Z_STREAM_END)
                break;
            if (status != Z_OK && status != Z_BUF_ERROR)
                return fail(ZIP_ER_INTERNAL, 0);
            if (flush != Z_FINISH && z.avail_in == 0 && z.avail_out > 0)
                break;
        }
        if (end)
            return;
        offset += take;
    }
}

} // namespace tarvik::zipio
