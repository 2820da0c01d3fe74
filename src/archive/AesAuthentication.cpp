#include "archive/AesAuthentication.h"

#include <QMessageAuthenticationCode>
#include <openssl/evp.h>

namespace tarvik::zipio {

namespace {

constexpr int kCheckValueSize = 2;
constexpr int kCodeSize = 10;
constexpr int kKeyIterations = 1000;

} // namespace

AesDirectory AesMembersOf(const CentralDirectory& directory) {
    AesDirectory aes;
    if (!directory.read)
        return aes;
    for (size_t index = 0; index < directory.entries.size(); ++index) {
        const CentralEntry& entry = directory.entries[index];
        if (entry.aesVersion != 0)
            aes.members.insert(
                index, {entry.aesVersion, entry.aesStrength, entry.localOffset, entry.packedSize});
    }
    aes.read = true;
    aes.entries = directory.entries.size();
    return aes;
}

AesDirectory ReadAesDirectory(int fd) {
    return AesMembersOf(ReadCentralDirectory(fd));
}

bool AesAuthenticates(int fd, const AesMember& member, const QByteArray& password) {
    if (member.strength < 1 || member.strength > 3)
        return false;
    const int saltSize = 4 + 4 * member.strength;
    const int keySize = 8 + 8 * member.strength;
    const quint64 overhead = quint64(saltSize + kCheckValueSize + kCodeSize);
    QByteArray local;
    if (member.packedSize < overhead || !ReadBytesAt(fd, member.localOffset, 30, &local) ||
        !local.startsWith("PK\x03\x04"))
        return false;
    quint64 at =
        member.localOffset + 30 + LittleEndianAt(local, 26, 2) + LittleEndianAt(local, 28, 2);
    QByteArray start;
    if (!ReadBytesAt(fd, at, saltSize + kCheckValueSize, &start))
        return false;
    at += quint64(saltSize + kCheckValueSize);
    // Encryption key, authentication key, check value.
    QByteArray keys(2 * keySize + kCheckValueSize, Qt::Uninitialized);
    if (PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()),
                               reinterpret_cast<const unsigned char*>(start.constData()), saltSize,
                               kKeyIterations, int(keys.size()),
                               reinterpret_cast<unsigned char*>(keys.data())) != 1 ||
        keys.right(kCheckValueSize) != start.right(kCheckValueSize))
        return false;
    QMessageAuthenticationCode code(QCryptographicHash::Sha1, keys.mid(keySize, keySize));
    quint64 left = member.packedSize - overhead;
    constexpr quint64 kChunk = 256 * 1024;
    QByteArray piece;
    while (left > 0) {
        const quint64 take = qMin<quint64>(left, kChunk);
        if (!ReadBytesAt(fd, at, qint64(take), &piece))
            return false;
        code.addData(piece);
        at += take;
        left -= take;
    }
    QByteArray stored;
    return ReadBytesAt(fd, at, kCodeSize, &stored) && stored == code.result().left(kCodeSize);
}

} // namespace tarvik::zipio
