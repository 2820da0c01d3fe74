#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tarvik {

// "Backup-20261206-183005.zip": a dated version of the archive "Backup",
// named after the run's local time.
QString DatedArchiveName(const QString& zipFile, const QDateTime& runTime);

// The dated versions of `zipFile` in `folder` beyond the newest `keep`,
// oldest first. Only names of exactly the dated pattern count: nothing else
// in the folder is ever listed.
QStringList SurplusVersions(const QString& folder, const QString& zipFile, int keep);

} // namespace tarvik
