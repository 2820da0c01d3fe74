#include "engine/zip/SourceWalker.h"

#include "engine/zip/Wildcard.h"

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

void Walker::visitFolder(const QByteArray& folder, const QString& namePattern, bool top,
                         QList<QByteArray>* subfolders) {
    QList<QByteArray> names;
    struct stat folderStat {};
    if (!ListFolder(folder, &names, &folderStat)) {
        // A pattern naming a folder that is not there matches nothing.
        if (!(top && (errno == ENOENT || errno == ENOTDIR)))
            noteUnreadable(errno);
        return;
    }
    addFolder(folder, folderStat);
    for (const QByteArray& name : std::as_const(names)) {
        if (name.startsWith('.') && !options_.includeHidden)
            continue;
        const QString fileName = QFile::decodeName(name);
        const QByteArray path = JoinBytes(folder, name);
        const bool matches = MatchWildcard(namePattern, fileName, Qt::CaseSensitive);
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0) {
            if (matches)
                noteUnreadable(errno);
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            if (::stat(path.constData(), &st) != 0) {
                if (matches)
                    noteUnreadable(errno); // dangling link
                continue;
            }
            if (S_ISDIR(st.st_mode))
                continue; // symlinked folders are never walked (loops)
        } else if (S_ISDIR(st.st_mode)) {
            if (options_.recurse)
                subfolders->append(path);
            continue;
        }
        if (!matches)
            continue;
        if (!S_ISREG(st.st_mode)) {
            noteUnreadable(EINVAL); // FIFO, socket or device: no file data to zip
            continue;
        }
        if (st.st_mtime < options_.earliest)
            continue;
        addFile(path, fileName, st);
    }
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
