#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <csignal>
#include <sys/resource.h>
#include <utime.h>

// Archives made and judged by programs we did not write (Info-ZIP zip and
// unzip, 7-Zip, Python's zipfile), and the file chores around them.
struct ToolResult {
    int exitCode = -1; // -1: crashed or did not finish
    QString output;    // stdout and stderr together
    QByteArray raw;    // the same bytes, for names that are not UTF-8
};

inline ToolResult runTool(const QString& program, const QStringList& args,
                          const QString& folder = {}) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(program, args);
    p.closeWriteChannel(); // a password prompt fails instead of waiting
    if (!p.waitForFinished(300000))
        return {};
    const QByteArray raw = p.readAll();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(raw),
            raw};
}

// Debian's interpreter; args are sys.argv[1:].
inline ToolResult python(const QString& code, const QStringList& args) {
    return runTool(QStringLiteral("/usr/bin/python3"),
                   QStringList{QStringLiteral("-c"), code} + args);
}

// Info-ZIP zip -q with `args`, run in `folder`.
inline bool infoZip(const QString& folder, const QStringList& args) {
    return runTool(QStringLiteral("zip"), QStringList{QStringLiteral("-q")} + args, folder)
               .exitCode == 0;
}

// An archive from Python's zipfile: "name=content" members in that order, all
// dated 2020-09-13 12:26:40; "link:name" makes a symbolic link member.
inline bool pythonZip(const QString& archive, const QStringList& members) {
    static const QString code = QStringLiteral(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for pair in sys.argv[2:]:
        name, data = pair.split('=', 1)
        info = zipfile.ZipInfo(name.removeprefix('link:'), (2020, 9, 13, 12, 26, 40))
        if name.startswith('link:'):
            info.create_system, info.external_attr = 3, 0o120777 << 16
        z.writestr(info, data)
)");
    return python(code, QStringList{archive} + members).exitCode == 0;
}

// Member names as Info-ZIP's zipinfo lists them, sorted.
inline QStringList archiveMembers(const QString& archive) {
    const ToolResult r = runTool(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    if (r.exitCode != 0)
        return {QStringLiteral("<unzip -Z1 failed: %1>").arg(r.output)};
    QStringList names = r.output.split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

// True when Info-ZIP's test of every member passes (no password).
inline bool unzipTestPasses(const QString& archive) {
    return runTool(QStringLiteral("unzip"), {QStringLiteral("-tq"), archive}).exitCode == 0;
}

// True when 7-Zip tests the archive good with this password.
inline bool sevenZipTestPasses(const QString& archive, const QString& password) {
    return runTool(QStringLiteral("7z"),
                   {QStringLiteral("t"), QStringLiteral("-p") + password, archive})
               .exitCode == 0;
}

inline bool writeFile(const QString& path, const QByteArray& data) { // makes missing folders
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// The content of a regular file; empty for anything else (a FIFO is never opened).
inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                      : QByteArray();
}

inline bool setModified(const QString& path, qint64 seconds) {
    const utimbuf times{time_t(seconds), time_t(seconds)};
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

inline qint64 modified(const QString& path) {
    return QFileInfo(path).lastModified().toSecsSinceEpoch();
}

// Everything below root but folders (files, symlinks, FIFOs), relative, sorted.
inline QStringList filesBelow(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        if (!info.isDir() || info.isSymLink())
            found.append(QDir(root).relativeFilePath(info.filePath()));
    }
    found.sort();
    return found;
}

// Every file below root as "name sha256 mode mtime".
inline QStringList treeSnapshot(const QString& root) {
    QStringList lines;
    for (const QString& name : filesBelow(root)) {
        const QString path = root + u'/' + name;
        lines.append(
            QStringLiteral("%1 %2 %3 %4")
                .arg(name, QString::fromLatin1(
                               QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256)
                                   .toHex()))
                .arg(int(QFileInfo(path).permissions()), 0, 16)
                .arg(modified(path)));
    }
    return lines;
}

// Seeded data: text runs mixed with random runs, or random bytes only (noise
// that deflate cannot shrink).
inline QByteArray mixedData(qsizetype size, quint32 seed, bool noise = false) {
    QByteArray data;
    data.reserve(size + 64);
    quint32 state = seed | 1u;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        return state ^= state << 5;
    };
    while (data.size() < size) {
        if (!noise && (next() & 1u)) {
            data += "line " + QByteArray::number(state % 1000) + " of the report\n";
            continue;
        }
        for (int i = 0; i < 64; ++i)
            data += char(next() >> 24);
    }
    data.truncate(size);
    return data;
}

// Runs f with one resource limit lowered; a file size limit fails writes even
// for root, like a full disk.
template <class F> auto underLimit(int resource, rlim_t soft, F f) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(resource, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = soft;
    ::setrlimit(resource, &lowered);
    const auto result = f();
    ::setrlimit(resource, &saved);
    return result;
}
