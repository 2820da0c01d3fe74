#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace tarvik::zipio {

// Reads the archive in the open file `fd` (of `size` bytes) back in full, on
// `threads` threads as WorkerThreads counts them: libzip must open it as the
// same archive, every member's local header must agree with its central entry,
// and every member's data must decompress (decrypted with `password` where
// encrypted) to its size and CRC, or for an AE-2 member match its
// authentication code. Stored and deflated members without encryption are
// inflated here, on one stream a thread; the others are read through libzip
// the way extraction reads them. 0 when the archive reads back whole, else the
// errno to report: EIO for damage.
int ReadArchiveBack(int fd, qint64 size, const QByteArray& password, int threads);

} // namespace tarvik::zipio
