#include "storage/Scramble.h"

namespace tarvik {
namespace {

int keyNumber(QStringView key) {
    int sum = 0;
    for (QChar c : key)
        sum += c.unicode();
    return sum / 60;
}

// Shift added by Scramble for the character at 1-based position i.
int scrambleShift(qsizetype position, int k) {
    switch (position % 6) {
    case 1:
        return k - 4;
    case 2:
        return 6 - k;
    case 3:
        return k + 1;
    case 4:
        return 7 - k;
    case 5:
        return k;
    default:
        return 2 - k;
    }
}

// Applies the shift (negated for unscrambling); characters that leave 0-255
// are reported through `lost`.
QString shift(QStringView text, QStringView key, int sign, bool& lost) {
    const int k = keyNumber(key);
    QString out;
    out.reserve(text.size());
    lost = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int code = text[i].unicode() + sign * scrambleShift(i + 1, k);
        if (text[i].unicode() > 255 || code < 0 || code > 255) {
            lost = true;
            continue;
        }
        out.append(QChar(code));
    }
    return out;
}

} // namespace

std::optional<QString> Scramble(QStringView text, QStringView key) {
    bool lost = false;
    QString out = shift(text, key, +1, lost);
    if (lost)
        return std::nullopt;
    return out;
}

QString Unscramble(QStringView scrambled, QStringView key) {
    bool lost = false;
    return shift(scrambled, key, -1, lost);
}

} // namespace tarvik
