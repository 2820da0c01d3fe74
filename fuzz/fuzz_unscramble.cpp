// Unscramble over any stored text and key, and Scramble's inverse: a password
// Scramble accepts always comes back unchanged. Texts come from UTF-8 bytes, as
// the settings and script files hold them.
#include "FuzzCheck.h"
#include "storage/Scramble.h"

#include <QList>

#include <fuzzer/FuzzedDataProvider.h>

using namespace tarvik;

namespace {

QString takeUtf8(FuzzedDataProvider& in, size_t maxBytes) {
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

bool storable(const QString& text) {
    return !text.contains(u'\r') && !text.contains(u'\n') && !text.contains(QChar(0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool defaultKey = in.ConsumeBool();
    const QString key = defaultKey ? kPasswordKey.toString() : takeUtf8(in, 64);
    const QString text = takeUtf8(in, 512);

    // Every stored text unscrambles to one that scrambles back to it.
    const QString plain = Unscramble(text, key);
    FUZZ_CHECK(plain.toUcs4().size() == text.toUcs4().size());
    const std::optional<QString> again = Scramble(plain, key);
    FUZZ_CHECK(again.has_value() == storable(text));
    FUZZ_CHECK(!again || *again == text);

    if (const std::optional<QString> scrambled = Scramble(text, key)) {
        FUZZ_CHECK(storable(*scrambled));
        FUZZ_CHECK(Unscramble(*scrambled, key) == text);
    }
    return 0;
}
