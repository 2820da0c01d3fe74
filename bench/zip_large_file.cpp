// Driver for bench/zip-large-file: writes the deterministic input file, and
// zips one file through CreateArchive.
//   zip_large_file generate PATH MEGABYTES
//   zip_large_file zip FILE ARCHIVE LEVEL
#include "archive/ZipEngine.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// 1 MiB blocks, alternately log-like text (compresses well) and xorshift
// noise (does not), so deflate works on both kinds.
int Generate(const char* path, long megabytes) {
    std::FILE* out = std::fopen(path, "wb");
    if (!out)
        return 1;
    std::vector<char> block(1 << 20);
    quint32 state = 2463534242u;
    for (long b = 0; b < megabytes; ++b) {
        size_t at = 0;
        if (b % 2 == 0) {
            while (at < block.size()) {
                char line[96];
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                const int n =
                    std::snprintf(line, sizeof line, "%08ld job %u finished with code %u\n", b,
                                  state % 5000, state % 7);
                const size_t take = std::min(block.size() - at, size_t(n));
                std::memcpy(block.data() + at, line, take);
                at += take;
            }
        } else {
            for (; at < block.size(); ++at) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                block[at] = char(state & 0xff);
            }
        }
        if (std::fwrite(block.data(), 1, block.size(), out) != block.size())
            return 1;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "generate") == 0)
        return Generate(argv[2], std::atol(argv[3]));
    if (argc != 5 || std::strcmp(argv[1], "zip") != 0) {
        std::fprintf(stderr, "usage: %s generate PATH MEGABYTES | zip FILE ARCHIVE LEVEL\n",
                     argv[0]);
        return 2;
    }
    tarvik::ZipRequest request;
    request.patterns = QStringList{QString::fromLocal8Bit(argv[2])};
    request.archivePath = QString::fromLocal8Bit(argv[3]);
    request.level = std::atoi(argv[4]);
    const quint16 result = tarvik::CreateArchive(request).result;
    std::printf("CreateArchive result: %u\n", unsigned(result));
    return result == 0 ? 0 : 1;
}
