#pragma once

// The program as a scheduler runs it, for the reliability tests: a program
// folder holding a copy of the binary and its settings file, and beside it a
// run folder with the script, log, source, output and temporary folders.
#include "ArchiveTools.h"
#include "storage/ProfileFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>
#include <zip.h>

namespace reliability {

using namespace Qt::StringLiterals;

struct BatchResult {
    int exitCode = -1; // -1: crashed or did not end
    QString output;
};

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() &&
           f.flush();
}

// The content of a regular file; empty for anything else (a FIFO is never opened).
inline QByteArray readBytes(const QString& path) {
    if (!QFileInfo(path).isFile())
        return {};
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Text-like bytes that compress, seeded so every run sees the same.
inline QByteArray sampleText(qsizetype size, quint32 seed) {
    QRandomGenerator random(seed);
    static const char kWords[][8] = {"archive", "tarvik", "script", "folder", "backup",
                                     "zip",     "daily",  "copy",   "run",    "night"};
    QByteArray out;
    out.reserve(size + 8);
    while (out.size() < size) {
        out += kWords[random.bounded(10)];
        out += random.bounded(12) == 0 ? '\n' : ' ';
    }
    out.truncate(size);
    return out;
}

inline QByteArray sampleNoise(qsizetype size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char(random.bounded(256));
    return out;
}

// Member name -> content of every file member, read with libzip; nothing when
// the archive cannot be opened or a member cannot be read in full.
inline std::optional<QMap<QString, QByteArray>> zipContents(const QString& archive) {
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!z)
        return std::nullopt;
    QMap<QString, QByteArray> members;
    bool ok = true;
    const zip_int64_t count = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; ok && i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(z, zip_uint64_t(i), ZIP_FL_ENC_RAW, &st) != 0) {
            ok = false;
            break;
        }
        const QString name = QString::fromUtf8(st.name);
        if (name.endsWith(u'/'))
            continue;
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        if (!f) {
            ok = false;
            break;
        }
        QByteArray data(qsizetype(st.size), Qt::Uninitialized);
        const zip_int64_t got = zip_fread(f, data.data(), st.size);
        char extra;
        ok = got == zip_int64_t(st.size) && zip_fread(f, &extra, 1) == 0;
        zip_fclose(f);
        members.insert(name, data);
    }
    zip_discard(z);
    if (!ok)
        return std::nullopt;
    return members;
}

// True when Info-ZIP and 7-Zip both test the archive good.
inline bool archiveTestsGood(const QString& archive) {
    return unzipTestPasses(archive) && sevenZipTestPasses(archive, QString());
}

// Every entry below `folder` (relative path -> content hash, or size and time
// for files over 1 MiB); links as their target text, folders and special
// files by their kind.
inline QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        const QString rel = base.relativeFilePath(info.filePath());
        if (info.isSymLink())
            files.insert(rel, "link:" + QFile::encodeName(info.symLinkTarget()));
        else if (info.isDir())
            files.insert(rel, "dir");
        else if (!info.isFile())
            files.insert(rel, "special"); // a FIFO or device: never opened
        else if (info.size() > (1 << 20)) // large files (the binary) by size and time
            files.insert(rel, QByteArray::number(info.size()) + ' ' +
                                  QByteArray::number(info.lastModified().toMSecsSinceEpoch()));
        else
            files.insert(rel, QCryptographicHash::hash(readBytes(info.filePath()),
                                                       QCryptographicHash::Sha1));
    }
    return files;
}

// Files below `folder` whose name starts with `prefix`, as sorted paths relative to it.
inline QStringList filesNamed(const QString& folder, const QString& prefix) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        if (info.fileName().startsWith(prefix))
            found.append(base.relativeFilePath(info.filePath()));
    }
    found.sort();
    return found;
}

class ProgramFolder {
public:
    ProgramFolder() {
        QDir(root_.path()).mkpath(u"bin"_s);
        const QString built = qEnvironmentVariable("TARVIK_BUILD_DIR") + u"/tarvik"_s;
        // A hard link when the file system allows it; the binary is large.
        if (::link(QFile::encodeName(built).constData(), QFile::encodeName(bin()).constData()) != 0)
            QFile::copy(built, bin());
        resetRun();
    }

    QString bin() const { return root_.filePath(u"bin/tarvik"_s); }
    QString settingsFile() const { return root_.filePath(u"bin/tarvik.ini"_s); }
    QString runFolder() const { return root_.filePath(u"run"_s); }
    QString path(const QString& relative) const { return runFolder() + u'/' + relative; }
    QString script(const QString& name) const { return path(u"scripts/"_s + name); }
    QString logFile() const { return path(u"log/errors.txt"_s); }
    // Where batch runs build their archives (TMPDIR is the run's tmp folder).
    QString tempFolder() const { return path(u"tmp/tarvik-"_s) + QString::number(::getuid()); }
    QString scratch(const QString& name) const { return root_.filePath(name); }

    // A fresh run folder and settings that point into it.
    void resetRun() {
        QDir(runFolder()).removeRecursively();
        for (const QString& sub : {u"scripts"_s, u"log"_s, u"src"_s, u"out"_s, u"tmp"_s})
            QDir(runFolder()).mkpath(sub);
        QFile::remove(settingsFile());
        tarvik::WriteIni(u"Options"_s, u"ScriptFilePath"_s, path(u"scripts"_s), settingsFile());
        tarvik::WriteIni(u"Options"_s, u"ErrorFilePath"_s, path(u"log"_s), settingsFile());
    }

    void writeScript(const QString& name, const QList<std::pair<QString, QString>>& keys) const {
        QByteArray text = "[Options]\r\n";
        for (const auto& [key, value] : keys)
            text += (key + u'=' + value).toUtf8() + "\r\n";
        QVERIFY(writeBytes(script(name), text));
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        env.remove(u"QT_QPA_PLATFORM"_s);
        env.insert(u"TMPDIR"_s, path(u"tmp"_s));
        return env;
    }

    // Starts the binary in batch mode without waiting for it.
    void start(QProcess& p, const QStringList& args, const QProcessEnvironment& env) const {
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(bin(), args);
    }

    BatchResult run(const QStringList& args) const { return run(args, environment()); }

    BatchResult run(const QStringList& args, const QProcessEnvironment& env) const {
        QProcess p;
        start(p, args, env);
        // A guard against a hang, not a measure: runs here take a second or so.
        if (!p.waitForFinished(300000)) {
            p.kill();
            p.waitForFinished();
            return {-1, u"<did not end>"_s};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAll())};
    }

    QString logText() const { return QString::fromUtf8(readBytes(logFile())); }

private:
    QTemporaryDir root_;
};

// Preloads the fault shim (see fault_shim.c) into the processes started with
// `env`. A sanitized build preloads the ASan runtime ahead of it, since the
// runtime must come first in the list.
inline void preloadFaultShim(QProcessEnvironment& env, const QString& shim) {
#ifdef TARVIK_ASAN_RUNTIME
    env.insert(u"LD_PRELOAD"_s, QStringLiteral(TARVIK_ASAN_RUNTIME) + u':' + shim);
#else
    env.insert(u"LD_PRELOAD"_s, shim);
#endif
}

// The value of each key of a script file, read back through the storage layer.
inline std::optional<QMap<QString, QString>> scriptValues(const QString& file,
                                                          const QStringList& keys) {
    const std::optional<tarvik::IniDocument> doc = tarvik::LoadIniDocument(file);
    if (!doc)
        return std::nullopt;
    QMap<QString, QString> values;
    for (const QString& key : keys)
        values.insert(key, doc->value(u"Options"_s, key, u"<missing>"_s));
    return values;
}

} // namespace reliability
