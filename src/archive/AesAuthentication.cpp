#include "archive/AesAuthentication.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <openssl/evp.h>

namespace tarvik::zipio {

namespace {

quint64 Little(const QByteArray& bytes, qsizetype at, int count) {
    quint64 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

constexpr quint32 kMax32 = 0xffffffff;
constexpr quint16 kZip64FieldId = 0x0001;
constexpr quint16 kAesFieldId = 0x9901;
constexpr int kAesMethod = 99;
constexpr int kCheckValueSize = 2;
constexpr int kCodeSize = 10;
constexpr int kKeyIterations = 1000;

bool ReadAt(QFile& file, quint64 offset, qint64 size, QByteArray* bytes) {
    if (!file.seek(qint64(offset)))
        return false;
    *bytes = file.read(size);
    return bytes->size() == size;
}

// Where the central directory starts and how many entries it lists: from the
// end record, or its Zip64 form when a field is at its maximum.
bool FindDirectory(QFile& file, quint64* offset, quint64* entries) {
    const qint64 size = file.size();
    const qint64 tailSize = qMin<qint64>(size, 22 + 0xffff);
    QByteArray tail;
    if (tailSize < 22 || !ReadAt(file, quint64(size - tailSize), tailSize, &tail))
        return false;
    qsizetype end = tail.lastIndexOf("PK\x05\x06");
    while (end >= 0 && end + 22 + qsizetype(Little(tail, end + 20, 2)) > tail.size())
        end = end > 0 ? tail.lastIndexOf("PK\x05\x06", end - 1) : -1;
    if (end < 0)
        return false;
    *entries = Little(tail, end + 10, 2);
    *offset = Little(tail, end + 16, 4);
    const quint64 endAt = quint64(size - tailSize + end);
    QByteArray locator;
    if (endAt < 20 || !ReadAt(file, endAt - 20, 20, &locator) || !locator.startsWith("PK\x06\x07"))
        return true;
    QByteArray record;
    if (!ReadAt(file, Little(locator, 8, 8), 56, &record) || !record.startsWith("PK\x06\x06"))
        return false;
    *entries = Little(record, 32, 8);
    *offset = Little(record, 48, 8);
    return true;
}

} // namespace

AesDirectory ReadAesDirectory(const QString& path) {
    AesDirectory directory;
    QFile file(path);
    quint64 at = 0;
    quint64 count = 0;
    if (!file.open(QIODevice::ReadOnly) || !FindDirectory(file, &at, &count) ||
        !file.seek(qint64(at)))
        return directory;
    for (quint64 index = 0; index < count; ++index) {
        const QByteArray head = file.read(46);
        if (head.size() != 46 || !head.startsWith("PK\x01\x02"))
            return directory;
        const qint64 nameSize = qint64(Little(head, 28, 2));
        const qint64 extraSize = qint64(Little(head, 30, 2));
        const qint64 commentSize = qint64(Little(head, 32, 2));
        const QByteArray extra = file.read(nameSize + extraSize).mid(nameSize);
        if (extra.size() != extraSize || !file.seek(file.pos() + commentSize))
            return directory;
        if (Little(head, 10, 2) != kAesMethod)
            continue;
        AesMember member;
        member.packedSize = Little(head, 20, 4);
        member.localOffset = Little(head, 42, 4);
        for (qsizetype field = 0; field + 4 <= extra.size();) {
            const quint64 id = Little(extra, field, 2);
            const qsizetype size = qsizetype(Little(extra, field + 2, 2));
            const qsizetype data = field + 4;
            if (data + size > extra.size())
                break;
            if (id == kZip64FieldId) {
                // Only the fields at their maximum are here, in this order.
                qsizetype next = data;
                const auto take = [&](quint64* value, bool present) {
                    if (present && next + 8 <= data + size) {
                        *value = Little(extra, next, 8);
                        next += 8;
                    }
                };
                quint64 unpacked = 0;
                take(&unpacked, Little(head, 24, 4) == kMax32);
                take(&member.packedSize, member.packedSize == kMax32);
                take(&member.localOffset, member.localOffset == kMax32);
            } else if (id == kAesFieldId && size >= 7 && extra.mid(data + 2, 2) == "AE") {
                member.version = int(Little(extra, data, 2));
                member.strength = quint8(extra[data + 4]);
            }
            field = data + size;
        }
        if (member.version != 0)
            directory.members.insert(index, member);
    }
    directory.read = true;
    directory.entries = count;
    return directory;
}

bool AesAuthenticates(const QString& path, const AesMember& member, const QByteArray& password) {
    if (member.strength < 1 || member.strength > 3)
        return false;
    const int saltSize = 4 + 4 * member.strength;
    const int keySize = 8 + 8 * member.strength;
    const quint64 overhead = quint64(saltSize + kCheckValueSize + kCodeSize);
    QFile file(path);
    QByteArray local;
    if (member.packedSize < overhead || !file.open(QIODevice::ReadOnly) ||
        !ReadAt(file, member.localOffset, 30, &local) || !local.startsWith("PK\x03\x04"))
        return false;
    const quint64 dataAt = member.localOffset + 30 + Little(local, 26, 2) + Little(local, 28, 2);
    QByteArray start;
    if (!ReadAt(file, dataAt, saltSize + kCheckValueSize, &start))
        return false;
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
    constexpr qint64 kChunk = 256 * 1024;
    while (left > 0) {
        const QByteArray piece = file.read(qint64(qMin<quint64>(left, kChunk)));
        if (piece.isEmpty())
            return false;
        code.addData(piece);
        left -= quint64(piece.size());
    }
    return file.read(kCodeSize) == code.result().left(kCodeSize);
}

} // namespace tarvik::zipio
