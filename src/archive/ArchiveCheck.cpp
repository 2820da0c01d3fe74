#include "archive/ArchiveCheck.h"

#include "archive/AesAuthentication.h"
#include "archive/ArchiveReader.h"
#include "archive/MemberData.h"
#include "archive/WorkerThreads.h"
#include "archive/ZipHandles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <vector>

namespace tarvik {

using namespace zipio;

namespace {

// Members this large (compressed) are read before the others, so that no
// thread is left with one of them at the end while the others idle.
constexpr zip_uint64_t kLargeMember = 4 << 20;
// Members a thread takes at a time.
constexpr size_t kMembersPerTake = 16;
constexpr zip_uint64_t kChunk = 256 * 1024;

bool Failed(PlatformError& error, int number) {
    error = ErrorFromErrno(number);
    return false;
}

// The archive in `fd`, of the expected size and consistent, or null.
zip_t* OpenChecked(int fd, qint64 expectedSize, PlatformError& error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        Failed(error, errno);
        return nullptr;
    }
    if (st.st_size != expectedSize) {
        Failed(error, EIO);
        return nullptr;
    }
    zip_error_t openError;
    zip_error_init(&openError);
    zip_t* archive = OpenArchiveReader(fd, ZIP_CHECKCONS, &openError);
    if (!archive) {
        const int system = zip_error_code_system(&openError);
        Failed(error,
               zip_error_system_type(&openError) == ZIP_ET_SYS && system != 0 ? system : EIO);
    }
    zip_error_fini(&openError);
    return archive;
}

// Reads the whole archive back, member by member, on several threads.
class ReadBack {
public:
    ReadBack(int fd, const QString& password) : fd_(fd), password_(password.toUtf8()) {}
    int run(zip_t* archive, int threads);

private:
    void work(zip_t* archive);
    int check(zip_t* archive, zip_uint64_t index, char* buffer) const;

    const int fd_;
    const QByteArray password_;
    AesDirectory aes_;
    std::vector<zip_uint64_t> order_;
    std::atomic<size_t> next_{0};
    std::atomic<int> failure_{0}; // errno of the first member that failed
};

// 0 when the member reads back whole, else the errno to report.
int ReadBack::check(zip_t* archive, zip_uint64_t index, char* buffer) const {
    zip_stat_t stat;
    if (zip_stat_index(archive, index, 0, &stat) != 0)
        return EIO;
    const bool encrypted =
        (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
    const auto aes = aes_.members.constFind(index);
    MemberData data(archive, index, stat, encrypted ? password_.constData() : nullptr,
                    encrypted && aes != aes_.members.constEnd() ? &*aes : nullptr, fd_);
    for (;;) {
        const zip_int64_t got = data.read(buffer, kChunk);
        if (got == 0)
            return 0;
        if (got < 0)
            return data.result().status == Copy::NoMemory ? ENOMEM : EIO;
    }
}

void ReadBack::work(zip_t* archive) {
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    for (;;) {
        const size_t first = next_.fetch_add(kMembersPerTake);
        for (size_t n = first; n < first + kMembersPerTake; ++n) {
            if (n >= order_.size() || failure_.load() != 0)
                return;
            if (const int problem = check(archive, order_[n], buffer.get())) {
                int none = 0;
                failure_.compare_exchange_strong(none, problem);
                return;
            }
        }
    }
}

int ReadBack::run(zip_t* archive, int threads) {
    const auto count = zip_uint64_t(zip_get_num_entries(archive, 0));
    if (!password_.isEmpty()) {
        aes_ = ReadAesDirectory(fd_);
        if (!aes_.read || aes_.entries != count)
            return EIO; // not the archive libzip reads
    }
    std::vector<std::pair<zip_uint64_t, zip_uint64_t>> large; // (packed size, index)
    for (zip_uint64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, i, 0, &stat) != 0)
            return EIO;
        if ((stat.valid & ZIP_STAT_COMP_SIZE) && stat.comp_size >= kLargeMember)
            large.emplace_back(stat.comp_size, i);
        else
            order_.push_back(i);
    }
    std::stable_sort(large.begin(), large.end(),
                     [](auto& a, auto& b) { return a.first > b.first; });
    for (auto it = large.rbegin(); it != large.rend(); ++it)
        order_.insert(order_.begin(), it->second);

    // Each helper reads the same file through an archive handle of its own.
    const auto helper = [this]() noexcept {
        zip_error_t error;
        zip_error_init(&error);
        ZipArchive own(OpenArchiveReader(fd_, 0, &error));
        zip_error_fini(&error);
        try {
            if (own)
                work(own.get());
        } catch (const std::bad_alloc&) {
            // Its members are left to the other threads.
        }
    };
    std::vector<std::thread> helpers;
    const size_t wanted = std::min(size_t(WorkerThreads(threads)), order_.size());
    for (size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(helper);
        } catch (const std::system_error&) {
            break;
        }
    }
    work(archive);
    for (std::thread& thread : helpers)
        thread.join();
    return failure_.load();
}

} // namespace

bool ArchiveCopyIsGood(int fd, qint64 expectedSize, PlatformError& error) {
    return bool(ZipArchive(OpenChecked(fd, expectedSize, error)));
}

bool ArchiveCopyReadsBack(int fd, qint64 expectedSize, const QString& password,
                          PlatformError& error, int threads) {
    const ZipArchive archive(OpenChecked(fd, expectedSize, error));
    if (!archive)
        return false;
    try {
        ReadBack readBack(fd, password);
        if (const int problem = readBack.run(archive.get(), threads))
            return Failed(error, problem);
    } catch (const std::bad_alloc&) {
        return Failed(error, ENOMEM);
    }
    return true;
}

} // namespace tarvik
