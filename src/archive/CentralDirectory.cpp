#include "archive/CentralDirectory.h"

#include <cerrno>
#include <cstdint>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik::zipio {

namespace {

constexpr quint32 kMax32 = 0xffffffff;
constexpr quint16 kZip64FieldId = 0x0001;
constexpr quint16 kAesFieldId = 0x9901;
constexpr qint64 kEndRecordSize = 22;
constexpr qint64 kHeaderSize = 46;

// Where the central directory starts, how long it is and how many entries it
// lists: from the end record, or its Zip64 form when a field is at its maximum.
bool FindDirectory(int fd, quint64* offset, quint64* length, quint64* entries) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    const qint64 size = st.st_size;
    const qint64 tailSize = qMin<qint64>(size, kEndRecordSize + 0xffff);
    QByteArray tail;
    if (tailSize < kEndRecordSize || !ReadBytesAt(fd, quint64(size - tailSize), tailSize, &tail))
        return false;
    // The last signature whose record, with its comment, fits in the file;
    // one found in the final 21 bytes has no room for the comment's length.
    const auto fits = [&tail](qsizetype at) {
        return at + kEndRecordSize <= tail.size() &&
               at + kEndRecordSize + qsizetype(LittleEndianAt(tail, at + 20, 2)) <= tail.size();
    };
    qsizetype end = tail.lastIndexOf("PK\x05\x06");
    while (end >= 0 && !fits(end))
        end = end > 0 ? tail.lastIndexOf("PK\x05\x06", end - 1) : -1;
    if (end < 0)
        return false;
    *entries = LittleEndianAt(tail, end + 10, 2);
    *length = LittleEndianAt(tail, end + 12, 4);
    *offset = LittleEndianAt(tail, end + 16, 4);
    const quint64 endAt = quint64(size - tailSize + end);
    QByteArray locator;
    if (endAt < 20 || !ReadBytesAt(fd, endAt - 20, 20, &locator) ||
        !locator.startsWith("PK\x06\x07"))
        return true;
    QByteArray record;
    if (!ReadBytesAt(fd, LittleEndianAt(locator, 8, 8), 56, &record) ||
        !record.startsWith("PK\x06\x06"))
        return false;
    *entries = LittleEndianAt(record, 32, 8);
    *length = LittleEndianAt(record, 40, 8);
    *offset = LittleEndianAt(record, 48, 8);
    return true;
}

void ReadExtraFields(const QByteArray& extra, CentralEntry& entry, bool sizeFull, bool packedFull,
                     bool offsetFull) {
    for (qsizetype field = 0; field + 4 <= extra.size();) {
        const quint64 id = LittleEndianAt(extra, field, 2);
        const qsizetype size = qsizetype(LittleEndianAt(extra, field + 2, 2));
        const qsizetype data = field + 4;
        if (data + size > extra.size())
            break;
        if (id == kZip64FieldId) {
            // Only the fields at their maximum are here, in this order.
            qsizetype next = data;
            const auto take = [&](quint64* value, bool present) {
                if (present && next + 8 <= data + size) {
                    *value = LittleEndianAt(extra, next, 8);
                    next += 8;
                }
            };
            take(&entry.size, sizeFull);
            take(&entry.packedSize, packedFull);
            take(&entry.localOffset, offsetFull);
        } else if (id == kAesFieldId && size >= 7 && extra.mid(data + 2, 2) == "AE") {
            entry.aesVersion = int(LittleEndianAt(extra, data, 2));
            entry.aesStrength = quint8(extra[data + 4]);
        }
        field = data + size;
    }
}

} // namespace

quint64 LittleEndianAt(const QByteArray& bytes, qsizetype at, int count) {
    quint64 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

bool ReadBytesAt(int fd, quint64 offset, qint64 size, QByteArray* bytes) {
    // Sizes come from the archive: nothing is allocated for bytes the file
    // does not hold.
    struct stat st {};
    if (size < 0 || ::fstat(fd, &st) != 0 || offset > quint64(st.st_size) ||
        quint64(size) > quint64(st.st_size) - offset)
        return false;
    bytes->resize(size);
    qint64 done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(fd, bytes->data() + done, size_t(size - done), off_t(offset + quint64(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

CentralDirectory ReadCentralDirectory(int fd) {
    CentralDirectory directory;
    quint64 at = 0;
    quint64 length = 0;
    quint64 count = 0;
    QByteArray bytes;
    // Each entry takes at least a header: a count beyond that is not believed.
    if (!FindDirectory(fd, &at, &length, &count) || count > length / kHeaderSize ||
        length > quint64(INT32_MAX) || !ReadBytesAt(fd, at, qint64(length), &bytes))
        return directory;
    directory.entries.reserve(size_t(count));
    qsizetype p = 0;
    for (quint64 index = 0; index < count; ++index) {
        if (p + kHeaderSize > bytes.size() || LittleEndianAt(bytes, p, 4) != 0x02014b50)
            return directory;
        const qsizetype nameSize = qsizetype(LittleEndianAt(bytes, p + 28, 2));
        const qsizetype extraSize = qsizetype(LittleEndianAt(bytes, p + 30, 2));
        const qsizetype commentSize = qsizetype(LittleEndianAt(bytes, p + 32, 2));
        const qsizetype next = p + kHeaderSize + nameSize + extraSize + commentSize;
        if (next > bytes.size())
            return directory;
        CentralEntry entry;
        entry.flags = quint16(LittleEndianAt(bytes, p + 8, 2));
        entry.method = quint16(LittleEndianAt(bytes, p + 10, 2));
        entry.dosTime = quint16(LittleEndianAt(bytes, p + 12, 2));
        entry.dosDate = quint16(LittleEndianAt(bytes, p + 14, 2));
        entry.crc = quint32(LittleEndianAt(bytes, p + 16, 4));
        entry.packedSize = LittleEndianAt(bytes, p + 20, 4);
        entry.size = LittleEndianAt(bytes, p + 24, 4);
        entry.localOffset = LittleEndianAt(bytes, p + 42, 4);
        entry.name = bytes.mid(p + kHeaderSize, nameSize);
        ReadExtraFields(bytes.mid(p + kHeaderSize + nameSize, extraSize), entry,
                        entry.size == kMax32, entry.packedSize == kMax32,
                        entry.localOffset == kMax32);
        directory.entries.push_back(std::move(entry));
        p = next;
    }
    directory.read = true;
    return directory;
}

} // namespace tarvik::zipio
