#pragma once

#include "runner/RunContext.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

// A scratch world for runner tests: script folder, log folder, temporary
// folder, with a clock that always says 2004/03/15 14:07:09.
struct RunnerFixture {
    QTemporaryDir root;
    tarvik::ProgramSettings settings;
    QStringList messages;
    tarvik::RunContext context{settings};

    static inline const QString kStamp = QStringLiteral("2004/03/15 14:07:09");

    RunnerFixture() {
        for (const char* sub : {"scripts", "log", "src", "out1", "out2"})
            QDir(root.path()).mkpath(QString::fromLatin1(sub));
        settings.scriptFilePath = path("scripts");
        settings.errorFilePath = path("log");
        context.tempFolder = path("tmp");
        context.messages = [this](const QString& m) { messages.append(m); };
        context.clock = [] { return QDateTime(QDate(2004, 3, 15), QTime(14, 7, 9)); };
    }

    QString path(const char* relative) const { return root.filePath(QString::fromUtf8(relative)); }
    QString scriptPath(const QString& name) const { return settings.scriptFilePath + u'/' + name; }
    QString logPath() const { return path("log/errors.txt"); }

    void writeScript(const QString& name, const QMap<QString, QString>& keys) const {
        for (auto it = keys.begin(); it != keys.end(); ++it)
            tarvik::WriteIni(QStringLiteral("Options"), it.key(), it.value(), scriptPath(name));
    }

    void writeFile(const char* relative, const QByteArray& content) const {
        const QString p = path(relative);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
    }

    // The log's lines without their CR LF.
    QStringList logLines() const {
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    QString line(const QString& script, const QString& text) const {
        return kStamp + QStringLiteral("  ") + scriptPath(script) + text;
    }
};
