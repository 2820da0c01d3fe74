#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <zip.h>

namespace tarvik::zipio {

inline constexpr zip_uint16_t kUnixTimeFieldId = 0x5455; // Info-ZIP extended timestamp
inline constexpr zip_uint16_t kNtfsTimeFieldId = 0x000a;

// The extended-timestamp extra field holding the modification time, exact to
// the second; empty when the time does not fit its signed 32 bits.
QByteArray UnixTimeField(qint64 mtime);

struct MemberTime {
    qint64 seconds = 0; // since the epoch
    bool exact = false; // from an extra field; else the DOS time (2 s steps)
};

// The member's modification time: the extended timestamp or NTFS extra field
// when the archive has one, else libzip's reading of the DOS time.
MemberTime ReadMemberTime(zip_t* archive, zip_uint64_t index, qint64 dosTime);

} // namespace tarvik::zipio
