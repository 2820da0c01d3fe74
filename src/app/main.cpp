#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args == QStringList{QStringLiteral("--version")}) {
        std::printf("Tarvik %s\n", TARVIK_VERSION);
        return 0;
    }
    const tarvik::ProgramSettings settings = tarvik::LoadProgramSettings(
        QFileInfo(app.applicationFilePath()).absolutePath(), tarvik::SettingsFilePath());
    std::fprintf(stderr, "Tarvik: script folder %s; running scripts is not built yet\n",
                 qPrintable(settings.scriptFilePath));
    return 1;
}
