#include "storage/Scramble.h"

#include <QList>

namespace tarvik {
namespace {

// Unicode scalar values in a row without the surrogate gap, so that a shift
// always lands on a character UTF-8 can hold.
constexpr char32_t kSurrogateStart = 0xD800;
constexpr char32_t kSurrogateCount = 0x800;
constexpr qint64 kScalarCount = 0x110000 - kSurrogateCount;

qint64 indexOf(char32_t c) {
    return c < kSurrogateStart ? c : c - kSurrogateCount;
}

char32_t scalarAt(qint64 index) {
    return char32_t(index < kSurrogateStart ? index : index + kSurrogateCount);
}

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

// Shifts each character (a code point, as the UTF-8 file holds it) by its
// position's amount, negated for unscrambling, wrapping around the scalar
// values. Characters and results within 0-255 come out as they always did.
QString shift(QStringView text, QStringView key, int sign) {
    const int k = keyNumber(key);
    const QList<uint> points = text.toUcs4();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < points.size(); ++i) {
        const qint64 moved =
            (indexOf(points[i]) + sign * scrambleShift(i + 1, k) + kScalarCount) % kScalarCount;
        const char32_t c = scalarAt(moved);
        out.append(QStringView(QChar::fromUcs4(c)));
    }
    return out;
}

} // namespace

std::optional<QString> Scramble(QStringView text, QStringView key) {
    QString out = shift(text, key, +1);
    // A stored value cannot hold a line break or a NUL.
    if (out.contains(u'\r') || out.contains(u'\n') || out.contains(QChar(0)))
        return std::nullopt;
    return out;
}

QString Unscramble(QStringView scrambled, QStringView key) {
    return shift(scrambled, key, -1);
}

} // namespace tarvik
