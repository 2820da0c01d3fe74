#include "storage/ScriptFolder.h"

#include "storage/PathText.h"
#include "storage/Wildcard.h"

#include <QDir>

namespace tarvik {

ScriptKind ScriptKindOfName(QStringView fileName) {
    const QStringView ending = fileName.right(4);
    if (ending.compare(u".zsc", Qt::CaseInsensitive) == 0)
        return ScriptKind::Zip;
    if (ending.compare(u".usc", Qt::CaseInsensitive) == 0)
        return ScriptKind::Unzip;
    return ScriptKind::Other;
}

QString ScriptEnding(ScriptKind kind) {
    return kind == ScriptKind::Unzip ? QStringLiteral(".usc") : QStringLiteral(".zsc");
}

QStringList ListScriptFolder(const QString& scriptFolder, QStringView pattern, bool nonEmptyOnly) {
    const QDir dir(scriptFolder.isEmpty() ? QString(kPathSeparator) : scriptFolder);
    QStringList names;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                                                  QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& file : files) {
        if (nonEmptyOnly && file.size() == 0)
            continue;
        const QString name = file.fileName();
        if (MatchWildcard(pattern, name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

} // namespace tarvik
