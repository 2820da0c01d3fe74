// Extraction of arbitrary archive bytes into a scratch folder: no crash, no
// hang, and nothing written outside the extraction folder.
#include "FuzzCheck.h"
#include "archive/ZipEngine.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QScopeGuard>
#include <cstdlib>
#include <unistd.h>

using namespace tarvik;

namespace {

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("TARVIK_THREADS", "1", 1); // libFuzzer follows the coverage of one thread
    return 0;
}

// root/archive.zip is the input, root/jail/out the extraction folder:
// everything an extraction may create lies below it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString root =
        (QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                            : QDir::tempPath()) +
        QStringLiteral("/tarvik-fuzz-extract-") + QString::number(::getpid());
    static const bool fresh =
        QDir(root).removeRecursively() && QDir().mkpath(root + QStringLiteral("/jail"));
    static const auto removeAtExit = qScopeGuard([] { QDir(root).removeRecursively(); });
    FUZZ_CHECK(fresh);
    QFile file(root + QStringLiteral("/archive.zip"));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    file.close();

    ExtractRequest request;
    request.archivePath = file.fileName();
    request.patterns = QStringList{QStringLiteral("*")};
    request.password = QStringLiteral("secret");
    request.replaceExisting = true;
    request.folder = root + QStringLiteral("/jail/out");
    // Twice: the second run meets every file the first one made.
    for (int round = 0; round < 2; ++round) {
        const quint16 r = ExtractArchive(request).result;
        FUZZ_CHECK(r == 0 || r == 40 || r == 50 || r == 100 || r == 110 || r == 120 || r == 290 ||
                   r == 300 || r == 310 || r == 400 || r == 510);
    }
    FUZZ_CHECK(entriesOf(root) ==
               QStringList({QStringLiteral("archive.zip"), QStringLiteral("jail")}));
    const QStringList jail = entriesOf(root + QStringLiteral("/jail"));
    FUZZ_CHECK(jail.isEmpty() || jail == QStringList{QStringLiteral("out")});
    QDirIterator it(request.folder,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        FUZZ_CHECK(!info.isSymLink()); // extraction never makes links
        FUZZ_CHECK(!info.fileName().startsWith(QStringLiteral(".tarvik-"))); // no half-made files
    }
    QDir(request.folder).removeRecursively();
    return 0;
}
