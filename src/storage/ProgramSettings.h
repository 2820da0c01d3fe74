#pragma once

#include "storage/ProgramLocations.h"

#include <QDateTime>
#include <QString>

namespace tarvik {

// The program's options, held in memory for the whole process.
struct ProgramSettings {
    bool uncPaths = true;
    bool newErrorFile = false;
    bool militaryTime = true;
    QString zipScriptFile;
    QString unzipScriptFile;
    QString zipFile;
    QString unzipFile;
    QString scriptFilePath; // no trailing separator
    QString errorFilePath;  // no trailing separator
    QString mailServer;
    qint16 mailServerPort = 0;
    QString alertAddress; // where failed runs are reported; empty: nowhere

    QString programFolder; // the executable's folder, no trailing separator
    QString settingsFile;  // where these settings are kept
    // Where scripts and the run log go when the settings name no folder.
    QString defaultScriptFolder;
    QString defaultLogFolder;
    QString helpFile; // the help text F1 opens
    QString timeStampFormat = QStringLiteral("yyyy/mm/dd hh:mm:ss");
    QString lastFolder;
    QString lastFileSpec = QStringLiteral("*.*");

    // The port the mail step uses: the stored one when it is 1 or more, else 25.
    int effectiveMailPort() const { return mailServerPort >= 1 ? mailServerPort : 25; }
};

// "yyyy/mm/dd hh:mm:ss", with " am/pm" appended for a 12-hour clock.
QString TimeStampFormatFor(bool militaryTime);

// The time formatted with a TimeStampFormat text.
QString FormatTimeStamp(const QDateTime& time, const QString& timeStampFormat);

// Text of a 16-bit signed port, or nothing when it does not convert.
std::optional<qint16> ParsePort(const QString& text);

// Start-up load from the settings file (missing file or keys give the
// defaults; nothing is created). `programFolder` is the executable's folder.
ProgramSettings LoadProgramSettings(const QString& programFolder, const ProgramLocations& where);
// The same for a portable copy whose settings file is `settingsFile`.
ProgramSettings LoadProgramSettings(const QString& programFolder, const QString& settingsFile);

// Writes every key in order (empty texts remove their key, so AlertAddress
// appears only when set) and updates `settings`. `portText` is the Options screen's field; text
// that does not convert keeps the port. Returns false when the file could not be written.
bool SaveProgramSettings(ProgramSettings& settings, const ProgramSettings& values,
                         const QString& portText, const QString& settingsFile);

} // namespace tarvik
