#include "archive/ExtraFields.h"

#include <limits>
#include <optional>

namespace tarvik::zipio {

namespace {

quint64 LittleEndian(const zip_uint8_t* bytes, int count) {
    quint64 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

std::optional<qint64> UnixTime(zip_t* archive, zip_uint64_t index, zip_flags_t where) {
    zip_uint16_t length = 0;
    const zip_uint8_t* data =
        zip_file_extra_field_get_by_id(archive, index, kUnixTimeFieldId, 0, &length, where);
    if (!data || length < 5 || (data[0] & 1) == 0)
        return std::nullopt;
    return qint64(qint32(quint32(LittleEndian(data + 1, 4))));
}

// Reserved 4 bytes, then tagged blocks; tag 1 holds three FILETIMEs
// (100 ns since 1601), modification time first.
std::optional<qint64> NtfsTime(zip_t* archive, zip_uint64_t index) {
    zip_uint16_t length = 0;
    const zip_uint8_t* data = zip_file_extra_field_get_by_id(archive, index, kNtfsTimeFieldId, 0,
                                                             &length, ZIP_FL_CENTRAL);
    if (!data)
        return std::nullopt;
    int at = 4;
    while (at + 4 <= length) {
        const int tag = int(LittleEndian(data + at, 2));
        const int size = int(LittleEndian(data + at + 2, 2));
        at += 4;
        if (at + size > length)
            break;
        if (tag == 1 && size >= 8) {
            const quint64 fileTime = LittleEndian(data + at, 8);
            return qint64(fileTime / 10000000ULL) - 11644473600LL;
        }
        at += size;
    }
    return std::nullopt;
}

} // namespace

QByteArray UnixTimeField(qint64 mtime) {
    if (mtime < std::numeric_limits<qint32>::min() || mtime > std::numeric_limits<qint32>::max())
        return {};
    QByteArray field(5, '\0');
    field[0] = 1; // modification time present
    const quint32 value = quint32(qint32(mtime));
    for (int i = 0; i < 4; ++i)
        field[1 + i] = char((value >> (8 * i)) & 0xff);
    return field;
}

MemberTime ReadMemberTime(zip_t* archive, zip_uint64_t index, qint64 dosTime) {
    std::optional<qint64> exact = UnixTime(archive, index, ZIP_FL_CENTRAL);
    if (!exact)
        exact = UnixTime(archive, index, ZIP_FL_LOCAL);
    if (!exact)
        exact = NtfsTime(archive, index);
    zip_error_clear(archive); // a missing field is no error of the run
    if (exact)
        return {*exact, true};
    return {dosTime, false};
}

} // namespace tarvik::zipio
