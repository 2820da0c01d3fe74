#include "archive/ArchiveReadBack.h"

#include "archive/AesAuthentication.h"
#include "archive/ArchiveReader.h"
#include "archive/CentralDirectory.h"
#include "archive/MemberData.h"
#include "archive/WorkerThreads.h"
#include "archive/ZipHandles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace tarvik::zipio {

namespace {

// Members this large (compressed) are read before the others, so that no
// thread is left with one of them at the end while the others idle.
constexpr quint64 kLargeMember = 4 << 20;
// A thread takes neighbouring members up to this much data at a time, so the
// blocks it reads are its own.
constexpr quint64 kBytesPerTake = 1 << 20;
constexpr size_t kChunk = 256 * 1024;
constexpr quint32 kMax32 = 0xffffffff;
constexpr qint64 kLocalHeaderSize = 30;
constexpr quint16 kEncrypted = 0x1;
constexpr quint16 kDataDescriptor = 0x8;

// One thread's reading of the file: through a buffer for the many small reads
// of headers and small members, straight for large ones.
class BlockReader {
public:
    explicit BlockReader(int fd) : fd_(fd) {}

    // `size` bytes at `offset` into `out`; false when they cannot all be read.
    bool read(quint64 offset, size_t size, char* out) {
        while (size > 0) {
            if (offset >= start_ && offset < start_ + length_) {
                const size_t n = std::min<quint64>(size, start_ + length_ - offset);
                std::memcpy(out, block_.get() + (offset - start_), n);
                out += n;
                offset += n;
                size -= n;
                continue;
            }
            const bool direct = size >= kChunk;
            char* into = direct ? out : block_.get();
            const ssize_t got = ::pread(fd_, into, direct ? size : kChunk, off_t(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            if (direct) {
                out += got;
                offset += quint64(got);
                size -= size_t(got);
            } else {
                start_ = offset;
                length_ = size_t(got);
            }
        }
        return true;
    }

private:
    int fd_;
    std::unique_ptr<char[]> block_ = std::make_unique_for_overwrite<char[]>(kChunk);
    quint64 start_ = 0;
    size_t length_ = 0;
};

// What one thread needs: its reader, one inflate stream reset for each
// member, buffers, and for encrypted members an archive handle of its own.
struct Thread {
    explicit Thread(int fd) : reader(fd) { ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
    ~Thread() {
        if (ready)
            inflateEnd(&stream);
    }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    BlockReader reader;
    z_stream stream{};
    bool ready = false;
    std::unique_ptr<char[]> input = std::make_unique_for_overwrite<char[]>(kChunk);
    std::unique_ptr<char[]> output = std::make_unique_for_overwrite<char[]>(kChunk);
    std::optional<ZipArchive> archive;
};

// Reads the whole archive back, member by member, on several threads.
class ReadBack {
public:
    ReadBack(int fd, qint64 size, const QByteArray& password)
        : fd_(fd), size_(quint64(size)), password_(password) {}
    int run(int threads);

private:
    void work(Thread& thread);
    int check(Thread& thread, size_t index) const;
    int checkLocalHeader(Thread& thread, const CentralEntry& entry, quint64* dataAt) const;
    int checkPlain(Thread& thread, const CentralEntry& entry, quint64 dataAt) const;
    int checkThroughLibzip(Thread& thread, size_t index) const;

    const int fd_;
    const quint64 size_;
    const QByteArray password_;
    CentralDirectory directory_;
    AesDirectory aes_;
    bool encrypted_ = false; // some member is
    std::vector<size_t> order_;
    std::vector<size_t> takes_; // where each take starts in order_, and its end
    std::atomic<size_t> next_{0};
    std::atomic<int> failure_{0}; // errno of the first member that failed
};

// The member's local header says what its central entry says, and its data
// lies within the file.
int ReadBack::checkLocalHeader(Thread& thread, const CentralEntry& entry, quint64* dataAt) const {
    QByteArray head(kLocalHeaderSize, Qt::Uninitialized);
    if (!thread.reader.read(entry.localOffset, size_t(kLocalHeaderSize), head.data()) ||
        LittleEndianAt(head, 0, 4) != 0x04034b50)
        return EIO;
    const quint16 flags = quint16(LittleEndianAt(head, 6, 2));
    const quint64 packed = LittleEndianAt(head, 18, 4);
    const quint64 size = LittleEndianAt(head, 22, 4);
    const qsizetype nameSize = qsizetype(LittleEndianAt(head, 26, 2));
    const quint64 extraSize = LittleEndianAt(head, 28, 2);
    if (LittleEndianAt(head, 8, 2) != entry.method || nameSize != entry.name.size())
        return EIO;
    if (!(flags & kDataDescriptor) && (LittleEndianAt(head, 14, 4) != entry.crc ||
                                       (packed != kMax32 && packed != entry.packedSize) ||
                                       (size != kMax32 && size != entry.size)))
        return EIO;
    QByteArray name(nameSize, Qt::Uninitialized);
    if (!thread.reader.read(entry.localOffset + kLocalHeaderSize, size_t(nameSize), name.data()) ||
        name != entry.name)
        return EIO;
    *dataAt = entry.localOffset + kLocalHeaderSize + quint64(nameSize) + extraSize;
    return *dataAt <= size_ && entry.packedSize <= size_ - *dataAt ? 0 : EIO;
}

// A stored or deflated member without encryption: its data inflated on the
// thread's own stream, its size and CRC compared with the central entry's.
int ReadBack::checkPlain(Thread& thread, const CentralEntry& entry, quint64 dataAt) const {
    const bool deflated = entry.method == Z_DEFLATED;
    z_stream& z = thread.stream;
    if (deflated && (!thread.ready || inflateReset(&z) != Z_OK))
        return ENOMEM;
    uLong crc = crc32(0, nullptr, 0);
    quint64 total = 0;
    quint64 left = entry.packedSize;
    bool ended = !deflated;
    while (left > 0) {
        const size_t take = size_t(std::min<quint64>(left, kChunk));
        if (!thread.reader.read(dataAt, take, thread.input.get()))
            return EIO;
        dataAt += take;
        left -= take;
        const auto* in = reinterpret_cast<const Bytef*>(thread.input.get());
        if (!deflated) {
            crc = crc32_z(crc, in, take);
            total += take;
            continue;
        }
        if (ended)
            return EIO; // data after the end of the stream
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = uInt(take);
        for (;;) {
            auto* out = reinterpret_cast<Bytef*>(thread.output.get());
            z.next_out = out;
            z.avail_out = uInt(kChunk);
            const int status = inflate(&z, Z_NO_FLUSH);
            const size_t produced = kChunk - z.avail_out;
            crc = crc32_z(crc, out, produced);
            total += produced;
            if (total > entry.size)
                return EIO;
            if (status == Z_STREAM_END) {
                ended = true;
                break;
            }
            if (status != Z_OK && status != Z_BUF_ERROR)
                return status == Z_MEM_ERROR ? ENOMEM : EIO;
            if (z.avail_in == 0 && z.avail_out != 0)
                break; // all input taken: the next chunk, if any
            if (status == Z_BUF_ERROR && z.avail_out != 0)
                return EIO;
        }
        if (ended && (z.avail_in != 0 || left != 0))
            return EIO;
    }
    return ended && total == entry.size && crc == entry.crc ? 0 : EIO;
}

// Encrypted members (and any other method) are read the way extraction reads
// them: through libzip, with the AE-2 authentication code checked.
int ReadBack::checkThroughLibzip(Thread& thread, size_t index) const {
    if (!thread.archive) {
        int failure = 0;
        thread.archive.emplace(OpenArchiveReader(fd_, 0, &failure));
        if (!*thread.archive)
            return failure;
        if (zip_get_num_entries(thread.archive->get(), 0) != zip_int64_t(directory_.entries.size()))
            return EIO;
    }
    zip_t* archive = thread.archive->get();
    zip_stat_t stat;
    if (zip_stat_index(archive, index, 0, &stat) != 0)
        return EIO;
    const bool encrypted =
        (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
    const auto aes = aes_.members.constFind(index);
    MemberData data(archive, index, stat, encrypted ? password_.constData() : nullptr,
                    encrypted && aes != aes_.members.constEnd() ? &*aes : nullptr, fd_);
    for (;;) {
        const zip_int64_t got = data.read(thread.output.get(), kChunk);
        if (got == 0)
            return 0;
        if (got < 0)
            return data.result().status == Copy::NoMemory ? ENOMEM : EIO;
    }
}

// 0 when the member reads back whole, else the errno to report.
int ReadBack::check(Thread& thread, size_t index) const {
    const CentralEntry& entry = directory_.entries[index];
    quint64 dataAt = 0;
    if (const int problem = checkLocalHeader(thread, entry, &dataAt))
        return problem;
    const bool plain =
        !(entry.flags & kEncrypted) && (entry.method == 0 || entry.method == Z_DEFLATED);
    return plain ? checkPlain(thread, entry, dataAt) : checkThroughLibzip(thread, index);
}

void ReadBack::work(Thread& thread) {
    for (;;) {
        const size_t take = next_.fetch_add(1);
        if (take + 1 >= takes_.size())
            return;
        for (size_t n = takes_[take]; n < takes_[take + 1]; ++n) {
            if (failure_.load() != 0)
                return;
            if (const int problem = check(thread, order_[n])) {
                int none = 0;
                failure_.compare_exchange_strong(none, problem);
                return;
            }
        }
    }
}

int ReadBack::run(int threads) {
    directory_ = ReadCentralDirectory(fd_);
    if (!directory_.read)
        return EIO;
    const std::vector<CentralEntry>& entries = directory_.entries;
    std::vector<size_t> large;
    for (size_t i = 0; i < entries.size(); ++i) {
        encrypted_ = encrypted_ || (entries[i].flags & kEncrypted);
        (entries[i].packedSize >= kLargeMember ? large : order_).push_back(i);
    }
    std::stable_sort(large.begin(), large.end(), [&](size_t a, size_t b) {
        return entries[a].packedSize > entries[b].packedSize;
    });
    order_.insert(order_.begin(), large.begin(), large.end());
    quint64 taken = kBytesPerTake;
    for (size_t n = 0; n < order_.size(); ++n) {
        if (taken >= kBytesPerTake) {
            takes_.push_back(n);
            taken = 0;
        }
        taken += entries[order_[n]].packedSize + quint64(entries[order_[n]].name.size()) + 30;
    }
    takes_.push_back(order_.size());
    if (encrypted_ && !password_.isEmpty())
        aes_ = AesMembersOf(directory_);

    const auto helper = [this]() noexcept {
        try {
            Thread thread(fd_);
            work(thread);
        } catch (const std::bad_alloc&) {
            // Its members are left to the other threads.
        }
    };
    std::vector<std::thread> helpers;
    const size_t wanted = std::min(size_t(WorkerThreads(threads)), takes_.size() - 1);
    for (size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(helper);
        } catch (const std::system_error&) {
            break;
        }
    }
    // Meanwhile: libzip must take the copy for the same archive, since
    // extraction reads it through libzip.
    Thread own(fd_);
    int failure = 0;
    own.archive.emplace(OpenArchiveReader(fd_, 0, &failure));
    if (!*own.archive ||
        zip_get_num_entries(own.archive->get(), 0) != zip_int64_t(entries.size())) {
        int none = 0;
        failure_.compare_exchange_strong(none, failure != 0 ? failure : EIO);
    }
    work(own);
    for (std::thread& thread : helpers)
        thread.join();
    return failure_.load();
}

} // namespace

int ReadArchiveBack(int fd, qint64 size, const QByteArray& password, int threads) {
    try {
        ReadBack readBack(fd, size, password);
        return readBack.run(threads);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}

} // namespace tarvik::zipio
