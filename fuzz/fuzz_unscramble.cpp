// Unscramble over any stored text and key, and Scramble's inverse: a password
// Scramble accepts always comes back unchanged.
#include "FuzzCheck.h"
#include "storage/Scramble.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace tarvik;

static QString takeUtf16(FuzzedDataProvider& in, size_t maxChars) {
    const std::string bytes = in.ConsumeRandomLengthString(maxChars * 2);
    return QString(reinterpret_cast<const QChar*>(bytes.data()), qsizetype(bytes.size() / 2));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QString key = in.ConsumeBool() ? kPasswordKey.toString() : takeUtf16(in, 32);
    const QString text = takeUtf16(in, 256);
    const QString plain = Unscramble(text, key);
    FUZZ_CHECK(plain.size() <= text.size());
    if (plain.size() == text.size()) // nothing dropped: scrambling again gives the stored text
        FUZZ_CHECK(Scramble(plain, key) == text);
    if (const std::optional<QString> scrambled = Scramble(text, key))
        FUZZ_CHECK(scrambled->size() == text.size() && Unscramble(*scrambled, key) == text);
    return 0;
}
