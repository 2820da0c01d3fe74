#include "archive/SourceWalker.h"

#include "archive/UniqueFd.h"
#include "storage/FileNameText.h"
#include "storage/Wildcard.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarvik::zipio {

namespace {

struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
};

FileId IdOf(const struct stat& st) {
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

qint64 MilliTime(const struct stat& st) {
    return qint64(st.st_mtim.tv_sec) * 1000 + qint64(st.st_mtim.tv_nsec) / 1000000;
}

QByteArray JoinBytes(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The file names of the open folder in byte order, without "." and "..".
bool ListFolder(int folder, QList<QByteArray>* names) {
    const int own = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* dir = own >= 0 ? ::fdopendir(own) : nullptr;
    if (!dir) {
        const int error = errno;
        if (own >= 0)
            ::close(own);
        errno = error;
        return false;
    }
    errno = 0;
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (name != "." && name != "..")
            names->append(name);
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0) {
        errno = error;
        return false;
    }
    std::sort(names->begin(), names->end());
    return true;
}

// Chains longer than this count as loops, as they do for the system.
constexpr int kMaxLinkHops = 40;

// Where a symbolic link leads: what the chain's end is, and whether every
// link on the way and the end have the owner of the first link.
struct LinkEnd {
    int error = 0; // errno when the chain could not be followed
    bool ownerMatches = false;
    struct stat st {};
};

// Follows the link `name` of the open `folder` link by link. Each link is held
// open (O_PATH) while its owner is checked and its text read, so the link
// judged is the link followed; folders named inside a link's text are left to
// the system.
LinkEnd FollowLink(int folder, const QByteArray& name) {
    LinkEnd end;
    UniqueFd holder; // the folder `current` is in, once that is not `folder`
    int at = folder;
    QByteArray current = name;
    uid_t owner = 0;
    QByteArray text(PATH_MAX, Qt::Uninitialized);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        UniqueFd link(::openat(at, current.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!link.valid() || ::fstat(link.get(), &end.st) != 0) {
            end.error = errno;
            return end;
        }
        if (hop == 0)
            owner = end.st.st_uid;
        if (!S_ISLNK(end.st.st_mode)) {
            end.ownerMatches = end.st.st_uid == owner;
            return end;
        }
        if (end.st.st_uid != owner) {
            // Not followed; where it leads still tells a link to a folder
            // (never walked, no error) from one to a file.
            if (::fstatat(at, current.constData(), &end.st, 0) != 0)
                end.error = errno;
            return end;
        }
        const ssize_t length = ::readlinkat(link.get(), "", text.data(), size_t(text.size()));
        if (length < 0 || length >= text.size()) {
            end.error = length < 0 ? errno : ENAMETOOLONG;
            return end;
        }
        const QByteArray target(text.constData(), length);
        const qsizetype cut = target.lastIndexOf('/');
        if (cut >= 0) {
            const QByteArray parent = cut == 0 ? QByteArray("/") : target.left(cut);
            UniqueFd next(::openat(at, parent.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!next.valid()) {
                end.error = errno;
                return end;
            }
            holder = std::move(next);
            at = holder.get();
        }
        current = target.mid(cut + 1);
        if (current.isEmpty())
            current = ".";
    }
    end.error = ELOOP;
    return end;
}

// One name of a listed folder, with what it is (for a symbolic link: what the
// link leads to).
struct FolderEntry {
    QByteArray name;
    QString fileName; // the name as text, for matching
    QByteArray path;
    struct stat st {};
    bool link = false;
    bool foreignLink = false; // a link whose chain changes owner
    int error = 0;            // errno of the failed look at it
};

FolderEntry StatEntry(int folderFd, const QByteArray& folder, const QByteArray& name) {
    FolderEntry entry{name, NameText(name), JoinBytes(folder, name)};
    if (::fstatat(folderFd, name.constData(), &entry.st, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.error = errno;
    } else if (S_ISLNK(entry.st.st_mode)) {
        entry.link = true;
        const LinkEnd end = FollowLink(folderFd, name);
        entry.error = end.error; // a dangling link or a loop
        entry.st = end.st;
        entry.foreignLink = !end.ownerMatches;
    }
    return entry;
}

struct FolderListing {
    int error = 0; // errno when the folder could not be listed
    struct stat folderStat {};
    std::vector<FolderEntry> entries;
};

// A folder still to be visited: the one the walk named, or a subfolder the
// walk saw as a real folder with this identity.
struct PendingFolder {
    QByteArray path;
    bool top = false;
    FileId id;
};

// Listings kept for reuse during one walk, counted in entries.
constexpr qsizetype kMaxCachedEntries = 200000;

class Walker {
public:
    Walker(const WalkOptions& options, const std::function<void(const SourceEntry&)>& listed)
        : options_(options), listed_(listed) {}

    void addPattern(const QString& pattern);
    WalkResult take() { return std::move(result_); }

private:
    void walk(const QByteArray& top, const QString& namePattern);
    void visitFolder(const PendingFolder& folder, const QString& namePattern,
                     std::vector<PendingFolder>* subfolders);
    void addFile(const QByteArray& path, const QByteArray& fileName, const struct stat& st);
    void addFolder(const QByteArray& path, const struct stat& st);
    void noteUnreadable(int error);

    void append(SourceEntry entry);

    const WalkOptions& options_;
    const std::function<void(const SourceEntry&)>& listed_;
    WalkResult result_;
    QSet<QByteArray> seenPaths_;
    QHash<QByteArray, FileId> names_;
    QHash<QByteArray, FolderListing> listings_;
    qsizetype cachedEntries_ = 0;
};

void Walker::addPattern(const QString& pattern) {
    const bool folderOnly = pattern.endsWith(u'/');
    const QString absolute = QDir::cleanPath(
        QDir::isAbsolutePath(pattern) ? pattern : QDir::current().absoluteFilePath(pattern));
    if (folderOnly) {
        walk(QFile::encodeName(absolute), QStringLiteral("*"));
        return;
    }
    const qsizetype cut = absolute.lastIndexOf(u'/');
    QString folder = absolute.left(cut);
    QString namePattern = absolute.mid(cut + 1);
    if (folder.isEmpty())
        folder = QStringLiteral("/");
    if (!HasWildcards(namePattern)) {
        struct stat st {};
        if (::stat(QFile::encodeName(absolute).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            folder = absolute;
            namePattern = QStringLiteral("*");
        }
    }
    walk(QFile::encodeName(folder), namePattern);
}

// Depth first without recursion, so deep trees cannot exhaust the stack.
void Walker::walk(const QByteArray& top, const QString& namePattern) {
    std::vector<PendingFolder> pending{{top, true, {}}};
    while (!pending.empty()) {
        const PendingFolder folder = std::move(pending.back());
        pending.pop_back();
        std::vector<PendingFolder> subfolders;
        visitFolder(folder, namePattern, &subfolders);
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            pending.push_back(std::move(*it));
    }
}

void Walker::visitFolder(const PendingFolder& folder, const QString& namePattern,
                         std::vector<PendingFolder>* subfolders) {
    // Many patterns may name the same folder (a script can hold thousands of
    // specs): a pattern's own folder is listed once per walk, up to a bound.
    const FolderListing* cached = nullptr;
    if (folder.top) {
        const auto known = listings_.constFind(folder.path);
        if (known != listings_.constEnd())
            cached = &*known;
    }
    UniqueFd fd;
    QList<QByteArray> names;
    struct stat folderStat {};
    if (cached) {
        if (cached->error != 0) {
            if (!(cached->error == ENOENT || cached->error == ENOTDIR))
                noteUnreadable(cached->error);
            return;
        }
        folderStat = cached->folderStat;
    } else {
        // The folder a pattern names may be reached through links; a subfolder
        // must be the very folder that was listed, not a link put in its place.
        fd.reset(::open(folder.path.constData(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folder.top ? 0 : O_NOFOLLOW)));
        int error = 0;
        if (!fd.valid() || ::fstat(fd.get(), &folderStat) != 0)
            error = errno;
        else if (!folder.top && (quint64(folderStat.st_dev) != folder.id.device ||
                                 quint64(folderStat.st_ino) != folder.id.inode))
            error = ENOENT;
        else if (!ListFolder(fd.get(), &names))
            error = errno;
        if (error != 0) {
            if (folder.top)
                listings_.insert(folder.path, FolderListing{error, {}, {}});
            // A pattern naming a folder that is not there matches nothing.
            if (!(folder.top && (error == ENOENT || error == ENOTDIR)))
                noteUnreadable(error);
            return;
        }
        if (folder.top && cachedEntries_ + names.size() <= kMaxCachedEntries) {
            FolderListing listing{0, folderStat, {}};
            listing.entries.reserve(size_t(names.size()));
            for (const QByteArray& name : std::as_const(names))
                listing.entries.push_back(StatEntry(fd.get(), folder.path, name));
            cachedEntries_ += names.size();
            cached = &*listings_.insert(folder.path, std::move(listing));
        }
    }
    addFolder(folder.path, folderStat);
    const auto visit = [&](const FolderEntry& entry) {
        const bool matches = MatchWildcard(namePattern, entry.fileName, Qt::CaseSensitive);
        if (entry.error != 0) {
            if (matches)
                noteUnreadable(entry.error);
            return;
        }
        const struct stat& st = entry.st;
        if (entry.link) {
            if (S_ISDIR(st.st_mode))
                return; // symlinked folders are never walked (loops)
        } else if (S_ISDIR(st.st_mode)) {
            if (options_.recurse)
                subfolders->push_back({entry.path, false, IdOf(st)});
            return;
        }
        if (!matches)
            return;
        if (entry.foreignLink) {
            noteUnreadable(EACCES);
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            noteUnreadable(EINVAL); // FIFO, socket or device: no file data to zip
            return;
        }
        if (st.st_mtime < options_.earliest)
            return;
        addFile(entry.path, entry.name, st);
    };
    if (cached) {
        for (const FolderEntry& entry : cached->entries)
            if (options_.includeHidden || !entry.name.startsWith('.'))
                visit(entry);
        return;
    }
    for (const QByteArray& name : std::as_const(names))
        if (options_.includeHidden || !name.startsWith('.'))
            visit(StatEntry(fd.get(), folder.path, name));
}

void Walker::addFile(const QByteArray& path, const QByteArray& fileName, const struct stat& st) {
    if (seenPaths_.contains(path))
        return;
    seenPaths_.insert(path);
    const FileId id = IdOf(st);
    if (options_.hasExcluded && id.device == options_.excludedDevice &&
        id.inode == options_.excludedInode)
        return;
    const QByteArray name = options_.storePaths ? path.mid(1) : fileName;
    const auto known = names_.constFind(name);
    if (known != names_.constEnd()) {
        const bool sameFile = known->device == id.device && known->inode == id.inode;
        if (!sameFile && result_.repeatedName.isEmpty())
            result_.repeatedName = ReadableName(name);
        return;
    }
    names_.insert(name, id);
    append({name, path, false, quint32(st.st_mode), qint64(st.st_size), qint64(st.st_mtime),
            MilliTime(st), id.device, id.inode});
    ++result_.fileCount;
}

void Walker::addFolder(const QByteArray& path, const struct stat& st) {
    if (!(options_.recurse && options_.storePaths && options_.folderEntries))
        return;
    const QByteArray name = path.mid(1);
    if (name.isEmpty())
        return; // the root itself
    const QByteArray entryName = name + '/';
    if (names_.contains(entryName))
        return;
    const FileId id = IdOf(st);
    names_.insert(entryName, id);
    append({entryName, path, true, quint32(st.st_mode), 0, qint64(st.st_mtime), MilliTime(st),
            id.device, id.inode});
}

void Walker::append(SourceEntry entry) {
    result_.entries.push_back(std::move(entry));
    if (listed_)
        listed_(result_.entries.back());
}

void Walker::noteUnreadable(int error) {
    if (result_.unreadable++ == 0)
        result_.firstProblem = {error, QString::fromLocal8Bit(std::strerror(error))};
}

} // namespace

WalkResult CollectSources(const QStringList& patterns, const WalkOptions& options,
                          const std::function<void(const SourceEntry&)>& listed) {
    Walker walker(options, listed);
    for (const QString& pattern : patterns)
        walker.addPattern(pattern);
    return walker.take();
}

} // namespace tarvik::zipio
