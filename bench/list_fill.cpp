// Driver for bench/run's list group: the main window's script list filled
// from a folder of many scripts, offscreen.
//   list_fill write FOLDER COUNT   writes COUNT zip and unzip scripts
//   list_fill time FOLDER RUNS     times, RUNS times each: reading the rows
//                                  (LoadScriptRows), and building and showing
//                                  the main window with them up to its first
//                                  paint; prints the median milliseconds
#include "platform/QtDialogService.h"
#include "storage/ProgramSettings.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ScriptList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Scripts like the editors write them: CRLF lines, about twenty keys.
int Write(const QString& folder, int count) {
    if (!QDir().mkpath(folder))
        return 1;
    for (int i = 0; i < count; ++i) {
        const bool zip = i % 5 != 4;
        const QString name = QStringLiteral("job%1.%2")
                                 .arg(i, 5, 10, QChar(u'0'))
                                 .arg(zip ? QStringLiteral("zsc") : QStringLiteral("usc"));
        QByteArray text = "[Options]\r\n";
        const auto key = [&text](const char* k, const QByteArray& v) {
            text += k;
            text += '=';
            text += v;
            text += "\r\n";
        };
        const QByteArray n = QByteArray::number(i);
        if (zip) {
            key("File1", "/srv/data/set" + n + "/*.*");
            key("File2", "/srv/data/set" + n + "/reports/*.txt");
            key("Dir1", "/backup/daily");
            key("Dir2", "/mnt/offsite/daily");
            key("ZipFile", "daily" + n);
            key("CompressionMode", "Normal");
            key("StorePaths", "Yes");
            key("StoreSubDirs", "Yes");
            key("IncludeHiddenFiles", "No");
            key("IncludeDirectoryEntries", "No");
            key("IncludeVolumeLabel", "No");
            key("Attachment", "No");
            key("HyperLink", "No");
            key("EmailAddress1", "ops@example.com");
            key("Subject", "Backup " + n);
        } else {
            key("ZipFile", "/backup/daily/daily" + n);
            key("File1", "*.*");
            key("Dir1", "/srv/restore/set" + n);
            key("Overwrite", "Yes");
            key("Delete", "No");
        }
        key("Description", "Nightly archive of data set " + n);
        key("LastRun",
            "2026/12/0" + QByteArray::number(1 + i % 5) + " 02:15:0" + QByteArray::number(i % 10));
        if (i % 7 == 0)
            key("Error", "Yes");
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return 1;
    }
    return 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Time(const QString& folder, int runs) {
    std::vector<double> load;
    std::vector<double> window;
    qsizetype rows = 0;
    QTemporaryDir temp;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        rows = tarvik::LoadScriptRows(folder).size();
        load.push_back(double(timer.nsecsElapsed()) / 1e6);

        tarvik::ProgramSettings settings;
        settings.scriptFilePath = folder;
        settings.errorFilePath = temp.path();
        tarvik::QtDialogService dialogs;
        tarvik::MainWindowOptions options;
        options.tempFolder = temp.path();
        timer.restart();
        {
            tarvik::MainWindow form(settings, dialogs, options);
            form.show();
            // Up to the first paint of the filled list.
            QApplication::processEvents();
            window.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    std::printf("rows %lld\n", static_cast<long long>(rows));
    std::printf("LoadScriptRows ms %.1f\n", Median(load));
    std::printf("main window with list ms %.1f\n", Median(window));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "write") == 0)
        return Write(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "time") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return Time(QString::fromLocal8Bit(argv[2]), std::max(1, std::atoi(argv[3])));
    }
    std::fprintf(stderr, "usage: %s write FOLDER COUNT | time FOLDER RUNS\n", argv[0]);
    return 2;
}
