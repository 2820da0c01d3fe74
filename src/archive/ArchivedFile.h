#pragma once

#include <QByteArray>
#include <QList>

namespace tarvik {

// A source file as it was when it went into the last archive built.
struct ArchivedFile {
    QByteArray path; // absolute, as the system spells it (not always UTF-8)
    qint64 size = 0;
    qint64 modifiedMs = 0; // since the epoch
};

using ArchivedFiles = QList<ArchivedFile>;

} // namespace tarvik
