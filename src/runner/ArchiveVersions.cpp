#include "runner/ArchiveVersions.h"

#include "storage/PathText.h"

#include <QDir>
#include <QRegularExpression>

namespace tarvik {

QString DatedArchiveName(const QString& zipFile, const QDateTime& runTime) {
    return zipFile + runTime.toString(QStringLiteral("-yyyyMMdd-HHmmss")) + QStringLiteral(".zip");
}

QStringList SurplusVersions(const QString& folder, const QString& zipFile, int keep) {
    const QRegularExpression dated(u'^' + QRegularExpression::escape(zipFile) +
                                   QStringLiteral("-[0-9]{8}-[0-9]{6}\\.zip$"));
    QStringList versions;
    // Regular files and links to them alike; a folder of that name is left be.
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        if (dated.match(name).hasMatch())
            versions.append(name);
    }
    // The stamp sorts as the time it names.
    versions.sort();
    versions.resize(std::max<qsizetype>(0, versions.size() - keep));
    for (QString& name : versions)
        name = JoinPath(folder, name);
    return versions;
}

} // namespace tarvik
