#pragma once

#include <QString>
#include <QtGlobal>

namespace tarvik {

// The network name of a mapped drive ("X:") through the platform's lookup,
// with the lookup's error text; result 0 is success. On POSIX there are no
// mapped drives: the lookup always fails as "not connected" (2250).
quint32 NetworkNameOfDrive(const QString& device, QString& networkName, QString& errorText);

// The error text of a drive lookup's result code; "" for 0.
QString NetworkErrorText(quint32 code);

// A picked path with a mapped drive letter replaced by the share's network
// name when `uncPaths` is on. Paths without a mapped drive, and every path on
// POSIX, come back unchanged; a failed lookup is silent.
QString ToUncPath(const QString& path, bool uncPaths);

} // namespace tarvik
