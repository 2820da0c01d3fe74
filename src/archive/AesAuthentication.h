#pragma once

#include "archive/CentralDirectory.h"

#include <QByteArray>
#include <QHash>
#include <QtGlobal>

namespace tarvik::zipio {

// WinZip AES members carry an authentication code: HMAC-SHA1 over their
// encrypted data. Those written as AE-2 (7-Zip writes every member so) store
// a CRC of 0 by design and are vouched for by that code alone. libzip 1.7
// checks the CRC all the same (from 20 bytes on) and reports the mismatch with
// the error a failed authentication gives (ZIP_ER_CRC), so the two cannot be
// told apart there: such members are authenticated here, from the archive's
// own bytes.

struct AesMember {
    int version = 0;  // 1 (AE-1) or 2 (AE-2)
    int strength = 0; // 1, 2, 3: AES-128, -192, -256
    quint64 localOffset = 0;
    quint64 packedSize = 0; // salt, check value, data and code, as the directory says
};

struct AesDirectory {
    bool read = false;                 // the central directory could be read
    quint64 entries = 0;               // entries it lists
    QHash<quint64, AesMember> members; // by entry index: the AES members
};

// The AES members of the archive in the open file `fd`, from its central
// directory (read with pread: the descriptor's offset does not move).
AesDirectory ReadAesDirectory(int fd);
// The same from a directory already read.
AesDirectory AesMembersOf(const CentralDirectory& directory);

// True when the member's stored authentication code is the one its encrypted
// data in the open file `fd` gives under `password`.
bool AesAuthenticates(int fd, const AesMember& member, const QByteArray& password);

} // namespace tarvik::zipio
