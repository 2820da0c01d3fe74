// Extraction of arbitrary archive bytes into a scratch folder: no crash, no
// hang, and nothing written outside the extraction folder.
#include "FuzzCheck.h"
#include "archive/ZipEngine.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <unistd.h>

using namespace tarvik;

namespace {

// scratch/archive.zip is the input; scratch/jail/out the extraction folder.
// Everything an extraction may create lies below jail/out.
struct Scratch {
    QString root;
    QString archive;
    QString jail;
    QString out;
    Scratch() {
        const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm")
                                 : QDir::tempPath();
        root = base + QStringLiteral("/tarvik-fuzz-extract-") + QString::number(::getpid());
        archive = root + QStringLiteral("/archive.zip");
        jail = root + QStringLiteral("/jail");
        out = jail + QStringLiteral("/out");
        QDir(root).removeRecursively();
        QDir().mkpath(jail);
    }
    ~Scratch() { QDir(root).removeRecursively(); }
};

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One extraction thread: libFuzzer follows the coverage of one.
    ::setenv("TARVIK_THREADS", "1", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scratch scratch;
    QFile file(scratch.archive);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    file.close();

    ExtractRequest request;
    request.archivePath = scratch.archive;
    request.patterns = QStringList{QStringLiteral("*")};
    request.password = QStringLiteral("secret");
    request.replaceExisting = true;
    request.folder = scratch.out;
    // Twice: the second run meets every file the first one made.
    for (int round = 0; round < 2; ++round) {
        const quint16 result = ExtractArchive(request).result;
        FUZZ_CHECK(result == 0 || result == 40 || result == 50 || result == 100 || result == 110 ||
                   result == 120 || result == 290 || result == 300 || result == 310 ||
                   result == 400 || result == 510);
    }

    FUZZ_CHECK(entriesOf(scratch.root) ==
               QStringList({QStringLiteral("archive.zip"), QStringLiteral("jail")}));
    const QStringList jail = entriesOf(scratch.jail);
    FUZZ_CHECK(jail.isEmpty() || jail == QStringList{QStringLiteral("out")});
    QDirIterator it(scratch.out,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        FUZZ_CHECK(!info.isSymLink()); // extraction never makes links
        FUZZ_CHECK(!info.fileName().startsWith(QStringLiteral(".tarvik-"))); // no half-made files
    }
    QDir(scratch.out).removeRecursively();
    return 0;
}
