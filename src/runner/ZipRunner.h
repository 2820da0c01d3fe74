#pragma once

#include "runner/RunContext.h"

#include <QDate>
#include <QString>

namespace tarvik {

// Runs one zip script (file name with extension, inside the script folder):
// builds the archive in the temporary folder, e-mails it when asked, copies it
// into every directory, then removes the temporary archive and the files
// marked for deletion. Failures become run log lines. Returns 0 finished,
// 1 script missing, 2 aborted.
quint16 RunZipScript(const QString& scriptName, RunContext& context);

// The day before which files are left out: the script's ModifiedDate, or
// 1 January 1980 when it holds no valid date.
QDate EarliestDate(const QDate& modifiedDate);

} // namespace tarvik
