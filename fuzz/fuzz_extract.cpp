// Extraction of arbitrary archive bytes into a scratch folder: no crash, no
// hang, and nothing written outside the extraction folder.
//
// Member names may be any bytes: std::filesystem keeps them, a QString cannot.
#include "FuzzCheck.h"
#include "archive/ZipEngine.h"

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <unistd.h>

using namespace tarvik;
namespace fs = std::filesystem;

namespace {

// The name of a file the extractor has not finished (".tarvik-", a 64-bit number
// in base 36) that no member has: a member so called has it in the input.
bool halfMade(std::string_view name, std::string_view input) {
    return name.starts_with(".tarvik-") && name.size() >= 9 && name.size() <= 21 &&
           std::all_of(name.begin() + 8, name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); }) &&
           input.find(name) == std::string_view::npos;
}

// A folder no earlier run left behind, holding an empty "jail"; gone at exit.
fs::path makeRoot() {
    static std::string root = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                              std::string("/tarvik-fuzz-extract-XXXXXX");
    FUZZ_CHECK(::mkdtemp(root.data()) != nullptr);
    FUZZ_CHECK(fs::create_directory(fs::path(root) / "jail"));
    std::atexit([] { fs::remove_all(root); });
    return root;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("TARVIK_THREADS", "1", 1); // libFuzzer follows the coverage of one thread
    return 0;
}

// root/archive.zip is the input, root/jail/out the extraction folder:
// everything an extraction may create lies below it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path root = makeRoot();
    const fs::path out = root / "jail" / "out";
    QFile file(QFile::decodeName((root / "archive.zip").c_str()));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    file.close();

    ExtractRequest request;
    request.archivePath = file.fileName();
    request.patterns = QStringList{QStringLiteral("*")};
    request.password = QStringLiteral("secret");
    request.replaceExisting = true;
    request.folder = QFile::decodeName(out.c_str());
    // Twice: the second run meets every file the first one made.
    for (int round = 0; round < 2; ++round) {
        const quint16 r = ExtractArchive(request).result;
        FUZZ_CHECK(r == 0 || r == 40 || r == 50 || r == 100 || r == 110 || r == 120 || r == 290 ||
                   r == 300 || r == 310 || r == 400 || r == 510);
    }
    // Nothing beside the archive and the jail, and below out no link (extraction
    // never makes one) and no half-made file.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::error_code error;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root, error)) {
        const fs::path& path = entry.path();
        if (path == root / "archive.zip" || path == root / "jail" || path == out)
            continue;
        FUZZ_CHECK(path.native().starts_with(out.native() + '/'));
        FUZZ_CHECK(!entry.is_symlink() && !halfMade(path.filename().native(), input));
    }
    FUZZ_CHECK(fs::remove_all(out, error) != static_cast<std::uintmax_t>(-1)); // a fresh start
    return 0;
}
