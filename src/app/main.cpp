#include "platform/QtDialogService.h"
#include "runner/BatchMode.h"
#include "runner/CommandLine.h"
#include "runner/EmailStep.h"
#include "storage/FileOps.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramLocations.h"
#include "storage/ProgramSettings.h"
#include "storage/TempFolder.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProcessEnvironment>
#include <cstdio>

namespace {

const char* const kUsage =
    "Usage: tarvik [/p | -a | -az | -au | PATTERN | NAME[,NAME...]]\n"
    "\n"
    "  (nothing), /p   open the window\n"
    "  -a              run every zip and unzip script in the script folder\n"
    "  -az             run every zip script (*.zsc)\n"
    "  -au             run every unzip script (*.usc)\n"
    "  PATTERN         run the scripts matching a pattern with * or ?; quote it\n"
    "                  in a shell: tarvik 'back*'\n"
    "  NAME,NAME       run the named scripts, each with its .zsc or .usc ending\n"
    "  --help          print this text\n"
    "  --version       print the version\n"
    "\n"
    "Scripts run unattended. When a run aborts, its run log lines are also\n"
    "written to standard error; a batch in which every script finished prints\n"
    "nothing.\n"
    "Exit code: 0 every script finished, 2 a run aborted, 1 a named script was\n"
    "missing or had no .zsc/.usc ending.\n";

// Where this copy keeps its files: for --help, and to find them at start.
tarvik::ProgramLocations Locations() {
    return tarvik::LocateProgramFiles(QCoreApplication::applicationFilePath(),
                                      QProcessEnvironment::systemEnvironment());
}

tarvik::ProgramSettings LoadSettings() {
    const tarvik::ProgramLocations where = Locations();
    tarvik::CreateProgramFolders(where);
    tarvik::SetSettingsFilePath(where.settingsFile);
    return tarvik::LoadProgramSettings(QCoreApplication::applicationDirPath(), where);
}

void PrintUsage() {
    const tarvik::ProgramSettings settings =
        tarvik::LoadProgramSettings(QCoreApplication::applicationDirPath(), Locations());
    std::fputs(kUsage, stdout);
    std::printf("\nFiles of this copy:\n"
                "  settings  %s\n"
                "  scripts   %s\n"
                "  run log   %s\n",
                qPrintable(settings.settingsFile), qPrintable(settings.scriptFilePath),
                qPrintable(tarvik::JoinPath(settings.errorFilePath, QStringLiteral("errors.txt"))));
}

// The window: the only road that needs a display, so the only one that
// creates a QApplication.
int RunWindow(int& argc, char* argv[]) {
    QApplication app(argc, argv);
    tarvik::ProgramSettings settings = LoadSettings();
    tarvik::QtDialogService dialogs;
    tarvik::MainWindow window(settings, dialogs);
    // Quit when the window really closes, also when it was hidden in the tray.
    QObject::connect(&window, &tarvik::MainWindow::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    // Without TZ the C library checks /etc/localtime again on every local time
    // conversion, and libzip converts two times per entry when it reads an
    // archive: naming that same file once spares one stat call per conversion.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const tarvik::Command command = tarvik::ParseCommandLine(arguments);
    if (command.mode == tarvik::CommandMode::Version) {
        std::printf("Tarvik %s\n", TARVIK_VERSION);
        return 0;
    }
    if (command.mode == tarvik::CommandMode::Interactive)
        return RunWindow(argc, argv);

    // Batch mode never needs a display: a plain core application.
    QCoreApplication app(argc, argv);
    if (command.mode == tarvik::CommandMode::Help) {
        PrintUsage();
        return 0;
    }
    tarvik::ProgramSettings settings = LoadSettings();
    // The e-mail step's lines have no window to go to: messages stays empty.
    tarvik::RunContext context{settings};
    context.tempFolder = tarvik::DefaultTempFolder();
    context.email = tarvik::MakeEmailStep(context);
    return tarvik::RunBatch(command, context);
}
