// Driver for bench/run's batch group: the archiving a batch of one-file zip
// scripts does, without the runs around it (script reading, run log, lock,
// copy, check). The engine zips FILES/<folder>/<file> into OUT/<n>.zip for
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
    tarvik::ZipRequest request;
    request.level = std::atoi(argv[3]);
    int archives = 0;
    for (const QString& folder : files.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir sub(files.filePath(folder));
        for (const QString& name : sub.entryList(QDir::Files, QDir::Name)) {
            request.patterns = QStringList{sub.filePath(name)};
            request.archivePath = out.filePath(folder + QStringLiteral(".zip"));
            if (tarvik::CreateArchive(request).result != 0)
                return 1;
            ++archives;
        }
    }
    std::printf("archives %d\n", archives);
    return 0;
}
