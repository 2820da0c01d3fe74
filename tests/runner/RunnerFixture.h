#pragma once

#include "ArchiveTools.h"
#include "runner/RunContext.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

using Keys = QMap<QString, QString>;

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

    // "@/" in values stands for the root folder.
    void writeScript(const QString& name, const Keys& keys) const {
        for (auto it = keys.begin(); it != keys.end(); ++it)
            tarvik::WriteIni(QStringLiteral("Options"), it.key(),
                             QString(it.value()).replace(QStringLiteral("@/"), root.path() + u'/'),
                             scriptPath(name));
    }

    void writeFile(const char* relative, const QByteArray& content) const {
        ::writeFile(path(relative), content);
    }

    // The log's lines without their CR LF; the stamp of the fixture's clock and
    // the script folder go, the root folder shows as '@'.
    QStringList logLines() const {
        QString text = QString::fromUtf8(readFile(logPath()));
        text.replace(kStamp + QStringLiteral("  ") + settings.scriptFilePath + u'/', QString())
            .replace(root.path(), QStringLiteral("@"));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        if (lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    // What lies below the root but scripts, log, `skip` and locks; archives as
    // "NAME=MEMBERS", or "NAME?" when Info-ZIP's test fails.
    QStringList files(const QString& skip = {}) const {
        QStringList shown;
        for (const QString& name : filesBelow(root.path())) {
            if (name.startsWith(u"scripts/") || name.startsWith(u"log/") ||
                (!skip.isEmpty() && name.startsWith(skip)) ||
                (name.contains(u"/.tarvik-") && name.endsWith(u".lock")))
                continue;
            const QString full = root.filePath(name);
            if (!name.endsWith(u".zip") || !QFileInfo(full).isFile())
                shown.append(name);
            else if (unzipTestPasses(full))
                shown.append(name + u'=' + archiveMembers(full).join(u','));
            else
                shown.append(name + u'?');
        }
        return shown;
    }
};
