#pragma once

// The program as a scheduler runs it: a program folder of its own (a link to
// the built binary and its settings file) and beside it a run folder with the
// script, log, source, output and temporary folders. No display.
#include "ArchiveTools.h"
#include "storage/ProfileFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <unistd.h>
#include <zip.h>

using namespace Qt::StringLiterals;

using Files = QMap<QString, QByteArray>; // relative path or member name -> content

// Every file member's content, read with libzip; nothing when the archive or
// a member cannot be read in full.
inline std::optional<Files> members(const QString& archive) {
    const std::unique_ptr<zip_t, decltype(&zip_discard)> z(
        zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, nullptr),
        zip_discard);
    Files files;
    for (zip_int64_t i = 0; z && i < zip_get_num_entries(z.get(), 0); ++i) {
        zip_stat_t st;
        zip_file_t* f = zip_stat_index(z.get(), i, ZIP_FL_ENC_RAW, &st)
                            ? nullptr
                            : zip_fopen_index(z.get(), i, 0);
        QByteArray data(f ? qsizetype(st.size) + 1 : 0, '\0');
        const bool whole = f && zip_fread(f, data.data(), data.size()) == zip_int64_t(st.size);
        if ((f && zip_fclose(f)) || !whole)
            return std::nullopt;
        if (!QByteArray(st.name).endsWith('/'))
            files.insert(QString::fromUtf8(st.name), data.chopped(1));
    }
    return z ? std::optional(files) : std::nullopt;
}

// True when Info-ZIP and 7-Zip both test the archive good.
inline bool peersPass(const QString& archive) {
    return unzipTestPasses(archive) && sevenZipTestPasses(archive, QString());
}

// A script's lines but the stamps a run leaves (LastRun, Error): what no run
// may change.
inline QStringList scriptLines(const QString& file) {
    QStringList lines = QString::fromUtf8(readFile(file)).split(u"\r\n"_s);
    lines.removeIf([](const QString& l) { return l.startsWith(u"LastRun="_s) || l == u"Error=X"; });
    return lines;
}

struct Ran {
    int code = -1; // -1: crashed or did not end
    QString out, err;
};

class ProgramFolder {
public:
    ProgramFolder() {
        QDir(root_.path()).mkpath(u"bin"_s);
        const QString built = qEnvironmentVariable("TARVIK_BUILD_DIR") + u"/tarvik"_s;
        if (::link(QFile::encodeName(built).constData(), QFile::encodeName(bin()).constData()))
            QFile::copy(built, bin());
        for (const QString& sub : {u"scripts"_s, u"log"_s, u"src"_s, u"out"_s, u"tmp"_s})
            QDir().mkpath(at(sub));
        tarvik::WriteIni(u"Options"_s, u"ScriptFilePath"_s, at(u"scripts/"_s), ini());
        tarvik::WriteIni(u"Options"_s, u"ErrorFilePath"_s, at(u"log"_s), ini());
    }

    QString bin() const { return root_.filePath(u"bin/tarvik"_s); }
    QString ini() const { return root_.filePath(u"bin/tarvik.ini"_s); }
    QString at(const QString& relative = {}) const { return root_.filePath(u"run/"_s + relative); }
    QString script(const QString& name) const { return at(u"scripts/"_s + name); }
    QString log() const { return at(u"log/errors.txt"_s); }
    QString logText() const { return QString::fromUtf8(readFile(log())); }
    // Where batch runs build their archives (TMPDIR is the run's tmp folder).
    QString tmp() const { return at(u"tmp/tarvik-%1"_s.arg(::getuid())); }
    QString scratch(const QString& name) const { return root_.filePath(name); }

    // `keys`: "Key=value" lines, '@' standing for the run folder.
    void writeScript(const QString& name, QString keys) const {
        keys = u"[Options]\n"_s + keys.replace(u'@', at().chopped(1)) + u'\n';
        QVERIFY(writeFile(script(name), keys.replace(u'\n', u"\r\n"_s).toUtf8()));
    }

    QProcessEnvironment env() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            env.remove(name);
        env.insert(u"TMPDIR"_s, at(u"tmp"_s));
        return env;
    }

#ifdef TARVIK_FAULT_PRELOAD
    // With the fault shim (fault_shim.c) preloaded, watching the run folder
    // and reporting to scratch("shim"); `faults` are its TARVIK_FAULT_ values.
    QProcessEnvironment shimEnv(const QMap<QString, QString>& faults) const {
        QProcessEnvironment e = env();
        e.insert(u"LD_PRELOAD"_s, QStringLiteral(TARVIK_FAULT_PRELOAD));
        e.insert(u"TARVIK_FAULT_UNDER"_s, at());
        e.insert(u"TARVIK_FAULT_REPORT"_s, scratch(u"shim"_s));
        for (auto it = faults.begin(); it != faults.end(); ++it)
            e.insert(u"TARVIK_FAULT_"_s + it.key(), it.value());
        QFile::remove(scratch(u"shim"_s));
        return e;
    }
#endif

    // Starts the binary (or `program`) without waiting for it; env() unless told.
    void start(QProcess& p, const QStringList& args, std::optional<QProcessEnvironment> e = {},
               const QString& program = {}) const {
        p.setProcessEnvironment(e.value_or(env()));
        p.start(program.isEmpty() ? bin() : program, args);
    }

    Ran run(const QStringList& args, std::optional<QProcessEnvironment> e = {},
            const QString& program = {}) const {
        QProcess p;
        start(p, args, e, program);
        // A guard against a hang, not a measure: runs here take a second or so.
        if (!p.waitForFinished(300000))
            p.kill();
        p.waitForFinished();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private:
    QTemporaryDir root_;
};
