#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <vector>

namespace tarvik::zipio {

// One entry of an archive's central directory, as its bytes say (Zip64 sizes
// and offsets taken from their extra field where the 32-bit fields are full).
struct CentralEntry {
    QByteArray name;
    quint16 flags = 0;
    quint16 method = 0;
    quint16 dosTime = 0;
    quint16 dosDate = 0;
    quint32 crc = 0;
    quint64 packedSize = 0;
    quint64 size = 0;
    quint64 localOffset = 0;
    int aesVersion = 0;  // WinZip AES entries: 1 (AE-1) or 2 (AE-2)
    int aesStrength = 0; // 1, 2, 3: AES-128, -192, -256
};

struct CentralDirectory {
    bool read = false; // the directory could be found and read in full
    std::vector<CentralEntry> entries;
};

// The central directory of the archive in the open file `fd`, read with pread
// (the descriptor's offset does not move).
CentralDirectory ReadCentralDirectory(int fd);

// Reads `size` bytes at `offset` of `fd` into `bytes`; false when fewer are there.
bool ReadBytesAt(int fd, quint64 offset, qint64 size, QByteArray* bytes);

// The little-endian number of `count` bytes at `at`.
quint64 LittleEndianAt(const QByteArray& bytes, qsizetype at, int count);

} // namespace tarvik::zipio
