#include "storage/FileNameText.h"

namespace tarvik {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // lone low surrogates U+DC80..U+DCFF hold bytes 80..FF

// The length of the well-formed UTF-8 sequence at data[0], or 0 when none
// starts there (stray continuation bytes, overlong forms, surrogates, values
// beyond U+10FFFF, cut-off sequences).
qsizetype SequenceLength(const uchar* data, qsizetype left) {
    const uchar lead = data[0];
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || data[1] < low || data[1] > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (data[i] < 0x80 || data[i] > 0xBF)
            return 0;
    }
    return length;
}

// Calls text(from, length) for each run of well-formed UTF-8 and stray(byte)
// for each byte outside one.
template <typename Text, typename Stray>
void Scan(const QByteArray& bytes, Text text, Stray stray) {
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype run = 0;
    qsizetype at = 0;
    while (at < size) {
        const qsizetype length = SequenceLength(data + at, size - at);
        if (length > 0) {
            at += length;
            continue;
        }
        if (at > run)
            text(run, at - run);
        stray(data[at]);
        run = ++at;
    }
    if (size > run)
        text(run, size - run);
}

} // namespace

bool IsUtf8(const QByteArray& bytes) {
    bool good = true;
    Scan(
        bytes, [](qsizetype, qsizetype) {}, [&good](uchar) { good = false; });
    return good;
}

QString NameText(const QByteArray& bytes) {
    QString text;
    Scan(
        bytes,
        [&](qsizetype from, qsizetype length) {
            text += QString::fromUtf8(bytes.constData() + from, length);
        },
        [&text](uchar byte) { text += QChar(char16_t(kEscapeBase + byte)); });
    return text;
}

QByteArray NameBytes(const QString& text) {
    QByteArray bytes;
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        const bool pairedLow = i > 0 && text[i - 1].isHighSurrogate();
        if (unit < kEscapeBase + 0x80 || unit > kEscapeBase + 0xFF || pairedLow)
            continue;
        bytes += QStringView(text).mid(run, i - run).toUtf8();
        bytes += char(unit - kEscapeBase);
        run = i + 1;
    }
    return bytes + QStringView(text).mid(run).toUtf8();
}

QString ReadableName(const QByteArray& bytes) {
    QString text;
    Scan(
        bytes,
        [&](qsizetype from, qsizetype length) {
            text += QString::fromUtf8(bytes.constData() + from, length);
        },
        [&text](uchar byte) {
            text +=
                QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
        });
    return text;
}

} // namespace tarvik
