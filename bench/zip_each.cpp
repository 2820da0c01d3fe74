// Driver for bench/run's batch group: the archiving a batch of one-file zip
// scripts does, without the runs around it (script reading, run log, lock,
// copy, check). One engine zips FILES/<folder>/<file> into OUT/<n>.zip for
// each folder in name order, as the batch's scripts do one after the other.
//   zip_each FILES OUT LEVEL
#include "archive/ZipEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILES OUT LEVEL\n", argv[0]);
        return 2;
    }
    const QDir files(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    tarvik::ZipEngine engine;
    engine.setCompressionLevel(std::atoi(argv[3]));
    int archives = 0;
    for (const QString& folder : files.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir sub(files.filePath(folder));
        for (const QString& name : sub.entryList(QDir::Files, QDir::Name)) {
            if (!engine.setFilesToProcess(sub.filePath(name) + QChar(13)) ||
                !engine.setZipFile(out.filePath(folder + QStringLiteral(".zip"))))
                return 2;
            if (engine.CreateArchive(0) != 0)
                return 1;
            ++archives;
        }
    }
    std::printf("archives %d\n", archives);
    return 0;
}
