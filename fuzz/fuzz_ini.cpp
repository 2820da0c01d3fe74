// The INI reader and writer: any bytes parse, the text written back parses to
// the same text, and a value set through the document reads back as stored,
// also after a round trip through the text.
#include "FuzzCheck.h"
#include "storage/ProfileFile.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace tarvik;

namespace {
QString take(FuzzedDataProvider& in, size_t maxBytes) {
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    return DecodeProfileText(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

void checkStable(const IniDocument& doc) {
    const QString text = doc.serialize();
    FUZZ_CHECK(IniDocument::parse(text).serialize() == text);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    IniDocument doc = IniDocument::parse(take(in, 4096));
    checkStable(doc);
    while (in.remaining_bytes() > 0) { // edits, each checked at once and after the round trip
        const QString section = take(in, 16), key = take(in, 16), value = take(in, 64);
        const int edit = in.ConsumeIntegralInRange(0, 2);
        std::optional<QString> expected;
        if (edit == 0) {
            const QString before = doc.serialize();
            const bool stored = doc.setValue(section, key, value);
            FUZZ_CHECK(!stored || IniDocument::isStorableValue(value));
            if (!stored) {
                FUZZ_CHECK(doc.serialize() == before); // a refused value changes nothing
                continue;
            }
            expected = value.left(IniDocument::kMaxValueLength);
        } else if (edit == 1) {
            doc.removeKey(section, key);
        } else {
            doc.removeSection(section);
        }
        FUZZ_CHECK(doc.value(section, key) == expected);
        FUZZ_CHECK(edit == 2 ||
                   IniDocument::parse(doc.serialize()).value(section, key) == expected);
        checkStable(doc);
    }
    return 0;
}
