// Scramble and Unscramble over any stored text and key: every stored text
// unscrambles to one that scrambles back to it (refused exactly when the text
// holds a line break or a NUL), and a password Scramble accepts comes back
// unchanged. Texts come from UTF-8 bytes, as the files hold them.
#include "FuzzCheck.h"
#include "storage/Scramble.h"

#include <QList>
#include <fuzzer/FuzzedDataProvider.h>

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto take = [&in](size_t bytes) {
        return QString::fromStdString(in.ConsumeRandomLengthString(bytes));
    };
    const QString key = in.ConsumeBool() ? kPasswordKey.toString() : take(64);
    const QString text = take(512);
    const bool storable = !text.contains(u'\r') && !text.contains(u'\n') && !text.contains(QChar());
    const QString plain = Unscramble(text, key);
    FUZZ_CHECK(plain.toUcs4().size() == text.toUcs4().size());
    FUZZ_CHECK(Scramble(plain, key) == (storable ? std::optional(text) : std::nullopt));
    if (const std::optional<QString> scrambled = Scramble(text, key))
        FUZZ_CHECK(Unscramble(*scrambled, key) == text);
    return 0;
}
