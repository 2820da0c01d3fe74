#pragma once

#include <QProcess>
#include <QStringList>

// Runs programs we did not write over the archives Tarvik makes.
struct ToolResult {
    int exitCode = -1;
    QString output;
};

inline ToolResult runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(300000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAll())};
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
