#pragma once

#include <QList>
#include <QString>

namespace tarvik {

// A source file as it was when it went into the last archive built.
struct ArchivedFile {
    QString path; // absolute
    qint64 size = 0;
    qint64 modifiedMs = 0; // since the epoch
};

using ArchivedFiles = QList<ArchivedFile>;

} // namespace tarvik
