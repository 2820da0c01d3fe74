#include "archive/Extractor.h"

#include "archive/AesAuthentication.h"
#include "archive/ArchiveReader.h"
#include "archive/ErrorMap.h"
#include "archive/ExtraFields.h"
#include "archive/MemberData.h"
#include "archive/ProgressMeter.h"
#include "archive/SafePath.h"
#include "archive/SafeTarget.h"
#include "archive/WorkerThreads.h"
#include "archive/ZipHandles.h"
#include "storage/FileNameText.h"
#include "storage/Wildcard.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <thread>

namespace tarvik::zipio {

using namespace zipresult;

namespace {

constexpr zip_int64_t kChunk = 256 * 1024;

// DOS times step by 2 s: only a later time beyond that counts as newer.
constexpr qint64 kDosSlack = 2;

// An extraction never takes the last of the disk: it may write at most this
// share of the space that was free when it started (15/16), so a small
// archive that expands to far more stops with a write error instead.
constexpr quint64 kSpareShareOfFreeSpace = 16;

// Bytes an extraction may still write, shared by its threads; unlimited when
// the free space cannot be told.
class SpaceBudget {
public:
    void limitTo(quint64 bytes) { left_ = qint64(std::min<quint64>(bytes, INT64_MAX)); }
    bool take(quint64 bytes) {
        qint64 left = left_.load();
        do {
            if (left == kUnlimited)
                return true;
            if (bytes > quint64(left))
                return false;
        } while (!left_.compare_exchange_weak(left, left - qint64(bytes)));
        return true;
    }
    void giveBack(quint64 bytes) {
        if (left_.load() != kUnlimited)
            left_ += qint64(bytes);
    }

private:
    static constexpr qint64 kUnlimited = -1;
    std::atomic<qint64> left_{kUnlimited};
};

// The bytes one member has taken from the budget; given back unless the
// member's file was kept.
class SpaceClaim {
public:
    explicit SpaceClaim(SpaceBudget& budget) : budget_(budget) {}
    ~SpaceClaim() { budget_.giveBack(taken_); }
    SpaceClaim(const SpaceClaim&) = delete;
    SpaceClaim& operator=(const SpaceClaim&) = delete;
    bool take(quint64 bytes) {
        if (!budget_.take(bytes))
            return false;
        taken_ += bytes;
        return true;
    }
    void keep() { taken_ = 0; }

private:
    SpaceBudget& budget_;
    quint64 taken_ = 0;
};

struct Member {
    zip_uint64_t index = 0;
    QString name;
    zip_stat_t stat{};
    QStringList steps;
    quint32 unixMode = 0; // 0 when the archive holds no Unix mode
};

bool WriteAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// What extracting one member came to; folded into the run's result in
// archive order, so the result does not depend on which thread finished first.
struct Outcome {
    enum class Kind { Done, KeptByDate, KeptExisting, Skipped, Failed };
    Kind kind = Kind::Done;
    quint16 result = kOk; // when failed
    int error = 0;
    bool stop = false; // later members are not to be extracted (disk full, no memory)
};

Outcome Skipped(int error = 0) {
    return {Outcome::Kind::Skipped, kOk, error, false};
}
Outcome Failed(quint16 result, int error, bool stop = false) {
    return {Outcome::Kind::Failed, result, error, stop};
}

// A thread's own view of the archive: libzip handles are not shared between
// threads. Keeps the folder of the last file it wrote open, since members
// usually come folder by folder.
struct Reader {
    zip_t* archive = nullptr;
    std::unique_ptr<char[]> buffer{new char[kChunk]};
    QStringList parentSteps;
    UniqueFd parent;
};

// A selected member and what became of it.
struct Task {
    zip_uint64_t index = 0;
    zip_uint64_t packed = 0; // compressed size, to start the largest members first
    bool inOrder = false;    // shares its path with another member: extracted in archive order
    bool ran = false;
    Outcome outcome;
};

// Members this large (compressed) are taken before all others, so that no
// thread is left with one of them at the end while the others idle.
constexpr zip_uint64_t kLargeMember = 4 << 20;
// A thread takes up to this many neighbouring members, or this much data, at a time.
constexpr size_t kMembersPerTake = 32;
constexpr zip_uint64_t kBytesPerTake = 1 << 20;

class Extraction {
public:
    explicit Extraction(const ExtractRequest& request) : options_(request) {}
    ExtractOutcome run();

private:
    bool selected(const QString& memberName) const;
    std::vector<Task> plan(zip_t* archive);
    void runTasks(std::vector<Task>& tasks, zip_t* archive);
    Outcome extract(Reader& reader, zip_uint64_t index) const;
    Outcome extractGuarded(Reader& reader, zip_uint64_t index) const;
    Outcome extractFolder(const Member& member) const;
    Outcome extractFile(Reader& reader, const Member& member) const;
    std::optional<Outcome> keptOrRefused(const struct stat& existing, const MemberTime& time) const;
    Outcome copyWithPasswords(Reader& reader, const Member& member, const QByteArray& leaf,
                              const MemberTime& time, bool exists) const;
    CopyResult copy(Reader& reader, const Member& member, const char* password, TempFile& temp,
                    SpaceClaim& claim) const;
    Outcome place(TempFile& temp, int folder, const QByteArray& leaf, const MemberTime& time,
                  bool exists) const;
    void apply(const Outcome& outcome);

    const ExtractRequest& options_;
    qint64 total_ = 0; // the selected members' sizes
    std::unique_ptr<ProgressMeter> meter_;
    FileIdentity archive_;
    UniqueFd archiveFd_; // every thread reads the archive through this one descriptor
    int extracted_ = 0;
    int keptByDate_ = 0;
    int keptExisting_ = 0;
    AesDirectory aes_; // read when the archive has AES members and a password is given
    UniqueFd root_;
    mutable SpaceBudget space_;
    bool skipped_ = false;
    quint16 hardResult_ = kOk;
    PlatformError error_;
};

// A member's name as text whose bytes (NameBytes) are the name to write.
// Names from Unix systems are taken as the bytes they are, UTF-8 or not;
// others without the UTF-8 flag are CP437 as the format says, unless they
// read as UTF-8 (libzip's guess).
std::optional<QString> MemberName(zip_t* archive, zip_uint64_t index) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    const bool unix =
        zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX;
    const char* name = zip_get_name(archive, index, unix ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_GUESS);
    if (!name)
        return std::nullopt;
    return NameText(QByteArray(name));
}

Outcome FolderOutcome(const FolderHandle& handle) {
    if (handle.state == StepState::Symlink)
        return Skipped(ELOOP);
    return Failed(kCreateError, handle.error);
}

// The archive is opened once by this run and read through that descriptor, so
// what it tells about the file (ExtractOutcome::archive) is the file that was
// extracted, whatever takes its name meanwhile.
ExtractOutcome Extraction::run() {
    UniqueFd fd(::open(QFile::encodeName(options_.archivePath).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (!fd.valid() && errno != ENOENT) {
            zip_error_t error;
            zip_error_init(&error);
            zip_error_set(&error, ZIP_ER_OPEN, errno);
            ExtractOutcome outcome = ExtractOutcome::make(OpenResult(&error), LibzipError(&error));
            zip_error_fini(&error);
            return outcome;
        }
        return ExtractOutcome::make(kArchiveNotFound, ErrorFromErrno(ENOENT));
    }
    archive_ = *IdentityOfOpenFile(fd.get());
    archiveFd_ = std::move(fd);
    zip_error_t openError;
    zip_error_init(&openError);
    ZipArchive archive(OpenArchiveReader(archiveFd_.get(), 0, &openError));
    if (!archive) {
        ExtractOutcome outcome =
            ExtractOutcome::make(OpenResult(&openError), LibzipError(&openError));
        outcome.archive = archive_;
        zip_error_fini(&openError);
        return outcome;
    }
    zip_error_fini(&openError);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count <= 0)
        return ExtractOutcome::make(kNothingToDo, {});
    if (!QDir().mkpath(options_.folder))
        return ExtractOutcome::make(kDestinationFolder, ErrorFromErrno(errno));
    root_.reset(
        ::open(QFile::encodeName(options_.folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root_.valid())
        return ExtractOutcome::make(kDestinationFolder, ErrorFromErrno(errno));
    struct statvfs disk {};
    if (::fstatvfs(root_.get(), &disk) == 0) {
        const quint64 free =
            quint64(disk.f_bavail) * (disk.f_frsize ? disk.f_frsize : disk.f_bsize);
        space_.limitTo(free - free / kSpareShareOfFreeSpace);
    }
    std::vector<Task> tasks = plan(archive.get());
    meter_ = std::make_unique<ProgressMeter>(options_.progress, total_);
    if (!aes_.members.isEmpty() && (!aes_.read || aes_.entries != quint64(count)))
        aes_ = {}; // not the archive libzip reads: AE-2 members stay unauthenticated
    runTasks(tasks, archive.get());
    for (const Task& task : tasks) {
        if (!task.ran)
            continue;
        apply(task.outcome);
        if (task.outcome.stop)
            break;
    }
    if (!Stopped(options_.stop))
        meter_->complete();
    else if (hardResult_ == kOk &&
             std::any_of(tasks.begin(), tasks.end(), [](const Task& t) { return !t.ran; })) {
        hardResult_ = kWriteError;
        error_ = ErrorFromErrno(ECANCELED);
    }
    ExtractOutcome outcome = ExtractOutcome::make(hardResult_ != kOk ? hardResult_
                                                  : skipped_         ? kFilesSkipped
                                                                     : kOk,
                                                  error_);
    outcome.extracted = extracted_;
    outcome.keptByDate = keptByDate_;
    outcome.keptExisting = keptExisting_;
    outcome.archive = archive_;
    return outcome;
}

// The selected members in archive order. Members are independent unless two
// land on the same path, or one would be a folder on another's way: those
// are marked to be extracted one after another in archive order, like a
// single thread would. Paths are compared without regard to letter case, in
// case the file system does not tell "A" from "a".
std::vector<Task> Extraction::plan(zip_t* archive) {
    const auto count = zip_uint64_t(zip_get_num_entries(archive, 0));
    std::vector<Task> tasks;
    std::vector<QString> paths; // "" when the member is never written
    QHash<QString, int> uses;
    QSet<QString> files;     // paths of members that are not folders by name
    QSet<QString> ancestors; // every folder on the way of some member
    bool aes = false;
    for (zip_uint64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        const std::optional<QString> text =
            zip_stat_index(archive, i, 0, &st) == 0 ? MemberName(archive, i) : std::nullopt;
        const bool raw = text.has_value();
        const QString name = text.value_or(QString());
        if (raw && !selected(name))
            continue;
        const bool known = raw && (st.valid & ZIP_STAT_COMP_SIZE);
        aes = aes ||
              (raw && (st.valid & ZIP_STAT_ENCRYPTION_METHOD) &&
               (st.encryption_method == ZIP_EM_AES_128 || st.encryption_method == ZIP_EM_AES_192 ||
                st.encryption_method == ZIP_EM_AES_256));
        tasks.push_back({i, known ? st.comp_size : 0, false, false, {}});
        if (raw && (st.valid & ZIP_STAT_SIZE))
            total_ += qint64(st.size);
        const std::optional<QStringList> steps = raw ? SafeMemberPath(name) : std::nullopt;
        paths.push_back(steps ? steps->join(u'/').toCaseFolded() : QString());
        if (!steps || steps->isEmpty())
            continue;
        ++uses[paths.back()];
        if (!name.endsWith(u'/') && !name.endsWith(u'\\'))
            files.insert(paths.back());
        for (qsizetype at = paths.back().indexOf(u'/'); at >= 0;
             at = paths.back().indexOf(u'/', at + 1))
            ancestors.insert(paths.back().left(at));
    }
    for (size_t t = 0; t < tasks.size(); ++t) {
        const QString& path = paths[t];
        if (path.isEmpty())
            continue;
        bool shared = uses.value(path) > 1 || (files.contains(path) && ancestors.contains(path));
        for (qsizetype at = path.indexOf(u'/'); !shared && at >= 0; at = path.indexOf(u'/', at + 1))
            shared = files.contains(path.left(at));
        tasks[t].inOrder = shared;
    }
    if (aes && !options_.password.isEmpty())
        aes_ = ReadAesDirectory(archiveFd_.get());
    return tasks;
}

// Independent members go to all threads, the largest first, the rest in
// archive order; each helper thread reads the file the run opened through an
// archive handle of its own. Members that share paths follow one by one in
// archive order. A member that stops the run (disk full) keeps further members
// from starting; members before it in archive order that had not started yet
// are still extracted, so the outcome is the one a single thread would have
// come to.
void Extraction::runTasks(std::vector<Task>& tasks, zip_t* archive) {
    std::vector<size_t> order;
    for (size_t t = 0; t < tasks.size(); ++t) {
        if (!tasks[t].inOrder && tasks[t].packed >= kLargeMember)
            order.push_back(t);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return tasks[a].packed > tasks[b].packed; });
    for (size_t t = 0; t < tasks.size(); ++t) {
        if (!tasks[t].inOrder && tasks[t].packed < kLargeMember)
            order.push_back(t);
    }
    // Neighbouring small members go to one thread together: they mostly share
    // a folder, which that thread then has open, and two threads seldom make
    // files in one folder at once.
    std::vector<size_t> takes; // where each take starts in `order`, then its end
    zip_uint64_t taken = kBytesPerTake;
    for (size_t n = 0, members = 0; n < order.size(); ++n, ++members) {
        if (taken >= kBytesPerTake || members == kMembersPerTake) {
            takes.push_back(n);
            taken = 0;
            members = 0;
        }
        taken += tasks[order[n]].packed;
    }
    takes.push_back(order.size());
    std::atomic<size_t> next{0};
    std::atomic<size_t> stopAt{SIZE_MAX};
    const auto work = [&](Reader& reader) {
        for (size_t take = next.fetch_add(1); take + 1 < takes.size(); take = next.fetch_add(1)) {
            for (size_t n = takes[take]; n < takes[take + 1]; ++n) {
                if (stopAt.load() != SIZE_MAX || Stopped(options_.stop))
                    return;
                Task& task = tasks[order[n]];
                task.outcome = extractGuarded(reader, task.index);
                task.ran = true;
                if (task.outcome.stop) {
                    size_t seen = stopAt.load();
                    while (order[n] < seen && !stopAt.compare_exchange_weak(seen, order[n])) {
                    }
                }
            }
        }
    };
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    const auto helper = [&]() noexcept {
        zip_error_t error;
        zip_error_init(&error);
        ZipArchive handle(OpenArchiveReader(archiveFd_.get(), 0, &error));
        zip_error_fini(&error);
        if (!handle || zip_get_num_entries(handle.get(), 0) != count)
            return; // one thread fewer
        try {
            Reader reader;
            reader.archive = handle.get();
            work(reader);
        } catch (const std::bad_alloc&) {
            // Its members are left to the other threads and the pass below.
        }
    };

    const size_t threads = std::min(size_t(WorkerThreads(options_.threads)), takes.size() - 1);
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(helper);
        } catch (const std::system_error&) {
            break;
        }
    }
    Reader own;
    own.archive = archive;
    work(own);
    for (std::thread& thread : helpers)
        thread.join();

    for (size_t t = 0; t < tasks.size() && t < stopAt.load() && !Stopped(options_.stop); ++t) {
        if (tasks[t].ran)
            continue;
        tasks[t].outcome = extractGuarded(own, tasks[t].index);
        tasks[t].ran = true;
        if (tasks[t].outcome.stop)
            stopAt = t;
    }
}

bool Extraction::selected(const QString& memberName) const {
    const QString path = NormalizedMemberName(memberName);
    const QString lastPart = path.mid(path.lastIndexOf(u'/') + 1);
    for (const QString& pattern : options_.patterns) {
        QString wanted = pattern;
        wanted.replace(u'\\', u'/');
        const bool wholePath = wanted.contains(u'/');
        while (wanted.startsWith(u'/'))
            wanted.remove(0, 1);
        if (MatchWildcard(wanted, wholePath ? QStringView(path) : QStringView(lastPart),
                          Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Running out of memory stops the run with 120, on any thread.
Outcome Extraction::extractGuarded(Reader& reader, zip_uint64_t index) const {
    try {
        return extract(reader, index);
    } catch (const std::bad_alloc&) {
        return Failed(kOutOfMemory, ENOMEM, true);
    }
}

Outcome Extraction::extract(Reader& reader, zip_uint64_t index) const {
    Member member;
    member.index = index;
    const std::optional<QString> text = zip_stat_index(reader.archive, index, 0, &member.stat) == 0
                                            ? MemberName(reader.archive, index)
                                            : std::nullopt;
    if (!text)
        return Failed(kArchiveCorrupt, 0);
    const QString& name = *text;
    member.name = name;
    const std::optional<QStringList> steps = SafeMemberPath(name);
    if (!steps)
        return Skipped(EPERM); // would land outside the extraction folder
    member.steps = *steps;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(reader.archive, index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX)
        member.unixMode = attributes >> 16;
    const quint32 type = member.unixMode & S_IFMT;
    const bool folder = name.endsWith(u'/') || name.endsWith(u'\\') || type == S_IFDIR;
    if (folder)
        return extractFolder(member);
    if (type != 0 && type != S_IFREG)
        return Skipped(EPERM); // symbolic links and devices are never created
    return extractFile(reader, member);
}

Outcome Extraction::extractFolder(const Member& member) const {
    const FolderHandle handle = OpenFolderBelow(root_.get(), member.steps, true);
    if (handle.state != StepState::Ok)
        return FolderOutcome(handle);
    return {};
}

Outcome Extraction::extractFile(Reader& reader, const Member& member) const {
    if (member.steps.isEmpty())
        return Skipped(EINVAL);
    const QStringList parents = member.steps.mid(0, member.steps.size() - 1);
    const QByteArray leaf = NameBytes(member.steps.last());
    StepState state = StepState::Ok;
    if (!reader.parent.valid() || reader.parentSteps != parents) {
        reader.parent.reset();
        FolderHandle parent = OpenFolderBelow(root_.get(), parents, false);
        state = parent.state;
        if (state != StepState::Ok && state != StepState::Missing)
            return FolderOutcome(parent);
        if (state == StepState::Ok) {
            reader.parent = std::move(parent.fd);
            reader.parentSteps = parents;
        }
    }
    const MemberTime time = ReadMemberTime(reader.archive, member.index, qint64(member.stat.mtime));
    // What is at the target decides whether to extract, unless every member
    // replaces what is there: then naming the new file tells (link() finds the
    // name taken), and the look before is left out.
    const bool look = !(options_.replaceExisting && options_.mode == ExtractMode::All);
    struct stat existing {};
    const bool exists =
        look && state == StepState::Ok &&
        ::fstatat(reader.parent.get(), leaf.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists) {
        if (const std::optional<Outcome> kept = keptOrRefused(existing, time))
            return *kept;
    } else if (options_.mode == ExtractMode::Newer) {
        return {Outcome::Kind::KeptByDate};
    }
    if (state == StepState::Missing) {
        FolderHandle parent = OpenFolderBelow(root_.get(), parents, true);
        if (parent.state != StepState::Ok)
            return FolderOutcome(parent);
        reader.parent = std::move(parent.fd);
        reader.parentSteps = parents;
    }
    return copyWithPasswords(reader, member, leaf, time, exists);
}

// What becomes of a member whose target exists: nothing when it is to be
// replaced, else why it is left alone (or cannot be written).
std::optional<Outcome> Extraction::keptOrRefused(const struct stat& existing,
                                                 const MemberTime& time) const {
    if (S_ISLNK(existing.st_mode))
        return Skipped(ELOOP);
    if (!S_ISREG(existing.st_mode))
        return Failed(kCreateError, EISDIR);
    const qint64 slack = time.exact ? 0 : kDosSlack;
    if (options_.mode != ExtractMode::All && time.seconds <= qint64(existing.st_mtime) + slack)
        return Outcome{Outcome::Kind::KeptByDate};
    if (!options_.replaceExisting)
        return Outcome{Outcome::Kind::KeptExisting};
    return std::nullopt;
}

// Traditional encryption has no fixed text encoding: a non-ASCII password that
// fails as UTF-8 is tried again as Latin-1. Encrypted members that fail their
// check are skipped, since a wrong password can pass the quick header check
// and only fail at the CRC.
Outcome Extraction::copyWithPasswords(Reader& reader, const Member& member, const QByteArray& leaf,
                                      const MemberTime& time, bool exists) const {
    const zip_uint16_t method = member.stat.encryption_method;
    const bool encrypted =
        (member.stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && method != ZIP_EM_NONE;
    QList<QByteArray> passwords{QByteArray()};
    if (encrypted) {
        // Checked before libzip is asked to open the member: it does not
        // release everything it set up for a method it then turns down.
        if (options_.password.isEmpty() || !zip_encryption_method_supported(method, 0))
            return Skipped(EACCES);
        passwords = {options_.password.toUtf8()};
        const QByteArray latin1 = options_.password.toLatin1();
        if (method == ZIP_EM_TRAD_PKWARE && latin1 != passwords.first())
            passwords.append(latin1);
    }
    CopyResult result;
    std::optional<SpaceClaim> claim;
    std::optional<TempFile> temp;
    for (const QByteArray& password : std::as_const(passwords)) {
        claim.reset();
        temp.reset();
        claim.emplace(space_);
        temp.emplace(reader.parent.get());
        result = copy(reader, member, encrypted ? password.constData() : nullptr, *temp, *claim);
        const bool retry =
            result.status == Copy::WrongPassword || (encrypted && result.status == Copy::Damaged);
        if (!retry)
            break;
    }
    switch (result.status) {
    case Copy::Done:
        break;
    case Copy::WrongPassword:
    case Copy::Unsupported:
        return Skipped(EACCES);
    case Copy::Damaged:
        return encrypted ? Skipped(EACCES) : Failed(kArchiveCorrupt, 0);
    case Copy::WriteFailed:
        return Failed(kWriteError, result.error, true); // a full disk fails every later member too
    case Copy::CreateFailed:
        return Failed(kCreateError, result.error);
    case Copy::NoMemory:
        return Failed(kOutOfMemory, ENOMEM, true);
    case Copy::Stopped:
        return Failed(kWriteError, ECANCELED, true);
    }
    const Outcome placed = place(*temp, reader.parent.get(), leaf, time, exists);
    if (placed.kind == Outcome::Kind::Done)
        claim->keep();
    return placed;
}

// The member's data, checked, into `temp`. Its stated size is taken from the
// budget before anything is written; data beyond that size means damage (or a
// bomb), not more to write.
CopyResult Extraction::copy(Reader& reader, const Member& member, const char* password,
                            TempFile& temp, SpaceClaim& claim) const {
    const auto aes = password ? aes_.members.constFind(member.index) : aes_.members.constEnd();
    MemberData data(reader.archive, member.index, member.stat, password,
                    aes != aes_.members.constEnd() ? &*aes : nullptr, archiveFd_.get());
    if (data.result().status != Copy::Done)
        return data.result();
    const bool sized = member.stat.valid & ZIP_STAT_SIZE;
    if (sized && !claim.take(member.stat.size))
        return {Copy::WriteFailed, ENOSPC};
    if (!temp.create(mode_t(member.unixMode & 0777)))
        return {Copy::CreateFailed, errno};
    for (;;) {
        // The unnamed file is dropped with `temp`: a stop leaves no part of it.
        if (Stopped(options_.stop))
            return {Copy::Stopped, ECANCELED};
        const zip_int64_t got = data.read(reader.buffer.get(), kChunk);
        if (got < 0)
            return data.result();
        if (got == 0)
            break;
        if (!sized && !claim.take(zip_uint64_t(got)))
            return {Copy::WriteFailed, ENOSPC};
        if (!WriteAll(temp.fd(), reader.buffer.get(), got))
            return {Copy::WriteFailed, errno};
        meter_->advance(got, member.name);
    }
    return {};
}

// Gives the complete file the member's name. Where nothing was there when the
// member was judged, the name is only taken if still free: a file that
// appeared meanwhile is judged like any existing one, never replaced by
// surprise.
Outcome Extraction::place(TempFile& temp, int folder, const QByteArray& leaf,
                          const MemberTime& time, bool exists) const {
    const auto failed = [] {
        const int error = errno;
        const bool write = error == EIO || error == ENOSPC || error == EDQUOT;
        return Failed(write ? kWriteError : kCreateError, error, write);
    };
    if (!temp.finish(time.seconds))
        return Failed(kWriteError, errno, true);
    if (!exists) {
        if (temp.link(leaf))
            return {};
        if (errno != EEXIST)
            return failed();
        struct stat now {};
        if (::fstatat(folder, leaf.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0)
            return failed();
        if (const std::optional<Outcome> kept = keptOrRefused(now, time))
            return *kept;
    }
    if (!temp.replace(leaf))
        return failed();
    return {};
}

void Extraction::apply(const Outcome& outcome) {
    switch (outcome.kind) {
    case Outcome::Kind::Done:
        ++extracted_;
        return;
    case Outcome::Kind::KeptByDate:
        ++keptByDate_;
        return;
    case Outcome::Kind::KeptExisting:
        ++keptExisting_;
        return;
    case Outcome::Kind::Skipped:
        if (!skipped_ && error_.number == 0 && outcome.error != 0)
            error_ = ErrorFromErrno(outcome.error);
        skipped_ = true;
        return;
    case Outcome::Kind::Failed:
        if (hardResult_ == kOk)
            hardResult_ = outcome.result;
        if (outcome.error != 0 && error_.number == 0)
            error_ = ErrorFromErrno(outcome.error);
        return;
    }
}

} // namespace

ExtractOutcome ExtractMembers(const ExtractRequest& options) {
    return Extraction(options).run();
}

} // namespace tarvik::zipio
