// The INI reader and writer: any bytes parse, the text written back parses to
// the same text, and a value set through the document reads back as stored,
// also after a round trip through the text.
#include "FuzzCheck.h"
#include "storage/IniDocument.h"
#include "storage/ProfileFile.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace tarvik;

namespace {

QString takeText(FuzzedDataProvider& in, size_t maxBytes) {
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    return DecodeProfileText(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QString text = takeText(in, 4096);
    IniDocument doc = IniDocument::parse(text);
    const QString written = doc.serialize();
    FUZZ_CHECK(IniDocument::parse(written).serialize() == written);

    // A few edits, each checked at once and after the text round trip.
    while (in.remaining_bytes() > 0) {
        const QString section = takeText(in, 16);
        const QString key = takeText(in, 16);
        const QString value = takeText(in, 64);
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: {
            const bool stored = doc.setValue(section, key, value);
            if (!IniDocument::isStorableValue(value))
                FUZZ_CHECK(!stored);
            if (stored) {
                const QString expected = value.left(IniDocument::kMaxValueLength);
                FUZZ_CHECK(doc.value(section, key) == expected);
                FUZZ_CHECK(IniDocument::parse(doc.serialize()).value(section, key) == expected);
            }
            break;
        }
        case 1:
            doc.removeKey(section, key);
            FUZZ_CHECK(!doc.value(section, key).has_value());
            FUZZ_CHECK(!IniDocument::parse(doc.serialize()).value(section, key).has_value());
            break;
        default:
            doc.removeSection(section);
            FUZZ_CHECK(!doc.value(section, key).has_value());
            break;
        }
        const QString again = doc.serialize();
        FUZZ_CHECK(IniDocument::parse(again).serialize() == again);
    }
    return 0;
}
