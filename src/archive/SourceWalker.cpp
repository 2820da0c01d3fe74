#include "archive/SourceWalker.h"

#include "storage/Wildcard.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace tarvik::zipio {

namespace {

struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
};

qint64 MilliTime(const struct stat& st) {
    return qint64(st.st_mtim.tv_sec) * 1000 + qint64(st.st_mtim.tv_nsec) / 1000000;
}

QByteArray JoinBytes(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The file names of a folder in byte order, without "." and "..".
bool ListFolder(const QByteArray& folder, QList<QByteArray>* names, struct stat* folderStat) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    if (::fstat(::dirfd(dir), folderStat) != 0) {
        const int error = errno;
        ::closedir(dir);
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

// One name of a listed folder, with what lstat (and, through a symbolic link,
// stat) said about it.
struct FolderEntry {
    QByteArray name;
    QString fileName;
    QByteArray path;
    struct stat st {};
    bool link = false;
    int error = 0; // errno of the failed lstat or stat
};

struct FolderListing {
    int error = 0; // errno when the folder could not be listed
    struct stat folderStat {};
    std::vector<FolderEntry> entries;
};

// Listings kept for reuse during one walk, counted in entries.
constexpr qsizetype kMaxCachedEntries = 200000;

class Walker {
public:
    explicit Walker(const WalkOptions& options) : options_(options) {}

    void addPattern(const QString& pattern);
    WalkResult take() { return std::move(result_); }

private:
    void walk(const QByteArray& top, const QString& namePattern);
    void visitFolder(const QByteArray& folder, const QString& namePattern, bool top,
                     QList<QByteArray>* subfolders);
    void addFile(const QByteArray& path, const QString& fileName, const struct stat& st);
    void addFolder(const QByteArray& path, const struct stat& st);
    void noteUnreadable(int error);

    const WalkOptions& options_;
    WalkResult result_;
    QSet<QByteArray> seenPaths_;
    QHash<QString, FileId> names_;
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
    std::vector<QByteArray> pending{top};
    bool isTop = true;
    while (!pending.empty()) {
        const QByteArray folder = std::move(pending.back());
        pending.pop_back();
        QList<QByteArray> subfolders;
        visitFolder(folder, namePattern, isTop, &subfolders);
        isTop = false;
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            pending.push_back(*it);
    }
}

FolderEntry StatEntry(const QByteArray& folder, const QByteArray& name) {
    FolderEntry entry{name, QFile::decodeName(name), JoinBytes(folder, name)};
    if (::lstat(entry.path.constData(), &entry.st) != 0) {
        entry.error = errno;
    } else if (S_ISLNK(entry.st.st_mode)) {
        entry.link = true;
        if (::stat(entry.path.constData(), &entry.st) != 0)
            entry.error = errno; // dangling link
    }
    return entry;
}

void Walker::visitFolder(const QByteArray& folder, const QString& namePattern, bool top,
                         QList<QByteArray>* subfolders) {
    // Many patterns may name the same folder (a script can hold thousands of
    // specs): a pattern's own folder is listed once per walk, up to a bound.
    const FolderListing* cached = nullptr;
    if (top) {
        const auto known = listings_.constFind(folder);
        if (known != listings_.constEnd())
            cached = &*known;
    }
    QList<QByteArray> names;
    struct stat folderStat {};
    if (cached) {
        if (cached->error != 0) {
            if (!(cached->error == ENOENT || cached->error == ENOTDIR))
                noteUnreadable(cached->error);
            return;
        }
        folderStat = cached->folderStat;
    } else if (!ListFolder(folder, &names, &folderStat)) {
        const int error = errno;
        if (top)
            listings_.insert(folder, FolderListing{error, {}, {}});
        // A pattern naming a folder that is not there matches nothing.
        if (!(top && (error == ENOENT || error == ENOTDIR)))
            noteUnreadable(error);
        return;
    } else if (top && cachedEntries_ + names.size() <= kMaxCachedEntries) {
        FolderListing listing{0, folderStat, {}};
        listing.entries.reserve(size_t(names.size()));
        for (const QByteArray& name : std::as_const(names))
            listing.entries.push_back(StatEntry(folder, name));
        cachedEntries_ += names.size();
        cached = &*listings_.insert(folder, std::move(listing));
    }
    addFolder(folder, folderStat);
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
                subfolders->append(entry.path);
            return;
        }
        if (!matches)
            return;
        if (!S_ISREG(st.st_mode)) {
            noteUnreadable(EINVAL); // FIFO, socket or device: no file data to zip
            return;
        }
        if (st.st_mtime < options_.earliest)
            return;
        addFile(entry.path, entry.fileName, st);
    };
    if (cached) {
        for (const FolderEntry& entry : cached->entries)
            if (options_.includeHidden || !entry.name.startsWith('.'))
                visit(entry);
        return;
    }
    for (const QByteArray& name : std::as_const(names))
        if (options_.includeHidden || !name.startsWith('.'))
            visit(StatEntry(folder, name));
}

void Walker::addFile(const QByteArray& path, const QString& fileName, const struct stat& st) {
    if (seenPaths_.contains(path))
        return;
    seenPaths_.insert(path);
    const FileId id{quint64(st.st_dev), quint64(st.st_ino)};
    if (options_.hasExcluded && id.device == options_.excludedDevice &&
        id.inode == options_.excludedInode)
        return;
    const QString name = options_.storePaths ? QFile::decodeName(path).mid(1) : fileName;
    const auto known = names_.constFind(name);
    if (known != names_.constEnd()) {
        const bool sameFile = known->device == id.device && known->inode == id.inode;
        if (!sameFile && result_.repeatedName.isEmpty())
            result_.repeatedName = name;
        return;
    }
    names_.insert(name, id);
    result_.entries.push_back({name, path, false, quint32(st.st_mode), qint64(st.st_size),
                               qint64(st.st_mtime), MilliTime(st)});
    ++result_.fileCount;
}

void Walker::addFolder(const QByteArray& path, const struct stat& st) {
    if (!(options_.recurse && options_.storePaths && options_.folderEntries))
        return;
    const QString name = QFile::decodeName(path).mid(1);
    if (name.isEmpty())
        return; // the root itself
    const QString entryName = name + u'/';
    if (names_.contains(entryName))
        return;
    names_.insert(entryName, FileId{quint64(st.st_dev), quint64(st.st_ino)});
    result_.entries.push_back(
        {entryName, path, true, quint32(st.st_mode), 0, qint64(st.st_mtime), MilliTime(st)});
}

void Walker::noteUnreadable(int error) {
    if (result_.unreadable++ == 0)
        result_.firstProblem = {error, QString::fromLocal8Bit(std::strerror(error))};
}

} // namespace

WalkResult CollectSources(const QStringList& patterns, const WalkOptions& options) {
    Walker walker(options);
    for (const QString& pattern : patterns)
        walker.addPattern(pattern);
    return walker.take();
}

} // namespace tarvik::zipio
