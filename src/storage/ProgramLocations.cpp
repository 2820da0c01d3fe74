#include "storage/ProgramLocations.h"

#include "storage/PathText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {
namespace {

// Folders the system installs programs into: never a program's own folder,
// even for root, who may write anywhere.
bool isSystemProgramFolder(const QString& folder) {
    for (const char* system : {"/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/local/bin",
                               "/usr/local/sbin", "/usr/games"}) {
        if (folder == QLatin1String(system))
            return true;
    }
    return false;
}

// A package's tree: the program in PREFIX/bin beside PREFIX/share/doc/tarvik.
bool isInstalledTree(const QString& folder) {
    return QFileInfo(folder + QStringLiteral("/../share/doc/tarvik/faq.fil")).isFile();
}

QString baseFolder(const QProcessEnvironment& env, const char* variable, const char* fallback) {
    const QString value = env.value(QString::fromLatin1(variable));
    if (QDir::isAbsolutePath(value))
        return StripTrailingSeparator(value);
    return JoinPath(StripTrailingSeparator(env.value(QStringLiteral("HOME"), QDir::homePath())),
                    QString::fromLatin1(fallback));
}

} // namespace

ProgramLocations LocateProgramFiles(const QString& executable, const QProcessEnvironment& env) {
    const QFileInfo exe(executable);
    const QString folder = StripTrailingSeparator(exe.absolutePath());
    ProgramLocations where;
    const QString beside = JoinPath(folder, exe.completeBaseName() + QStringLiteral(".ini"));
    const bool writable = ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
    where.installed = !QFileInfo::exists(beside) &&
                      (!writable || isSystemProgramFolder(folder) || isInstalledTree(folder));
    if (!where.installed) {
        where.settingsFile = beside;
        where.defaultScriptFolder = folder;
        where.defaultLogFolder = folder;
        where.helpFile = JoinPath(folder, QStringLiteral("faq.fil"));
        return where;
    }
    const QString config =
        JoinPath(baseFolder(env, "XDG_CONFIG_HOME", ".config"), QStringLiteral("tarvik"));
    where.settingsFile = JoinPath(config, QStringLiteral("tarvik.ini"));
    where.defaultScriptFolder = config;
    where.defaultLogFolder =
        JoinPath(baseFolder(env, "XDG_STATE_HOME", ".local/state"), QStringLiteral("tarvik"));
    const QString installedHelp =
        QDir::cleanPath(folder + QStringLiteral("/../share/doc/tarvik/faq.fil"));
    where.helpFile = QFileInfo::exists(installedHelp) ? installedHelp
                                                      : JoinPath(folder, QStringLiteral("faq.fil"));
    return where;
}

bool CreateProgramFolders(const ProgramLocations& locations) {
    if (!locations.installed)
        return true;
    bool made = true;
    for (const QString& folder : {locations.defaultScriptFolder, locations.defaultLogFolder}) {
        // Each missing step is made owner-only, as the XDG rules ask of these folders.
        QString path;
        for (const QString& step : folder.split(u'/', Qt::SkipEmptyParts)) {
            path += u'/' + step;
            const QByteArray native = QFile::encodeName(path);
            if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
                made = false;
        }
        made = made && QFileInfo(folder).isDir();
    }
    return made;
}

} // namespace tarvik
