#pragma once

#include <QtGlobal>

namespace tarvik {

// Result codes of the archive engine's operations; 0 is success. The numbers
// keep the meanings the runners' ResultText puts into words.
namespace zipresult {
inline constexpr quint16 kOk = 0;
inline constexpr quint16 kFilesSkipped = 40; // unreadable source, unsafe member, wrong password
inline constexpr quint16 kNothingToDo = 50;  // nothing to zip, or an empty archive
inline constexpr quint16 kArchiveNotFound = 100;
inline constexpr quint16 kArchiveCorrupt = 110; // not a zip, or damaged
inline constexpr quint16 kOutOfMemory = 120;
inline constexpr quint16 kInvalidProperties = 130;
inline constexpr quint16 kTemporaryFile = 280;
inline constexpr quint16 kReadError = 290;
inline constexpr quint16 kWriteError = 300; // disk full among others
inline constexpr quint16 kCreateError = 310;
inline constexpr quint16 kRepeatedNames = 370;
inline constexpr quint16 kArchiveReadWrite = 400;
inline constexpr quint16 kDestinationFolder = 510;
} // namespace zipresult

} // namespace tarvik
