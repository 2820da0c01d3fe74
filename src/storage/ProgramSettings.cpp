#include "storage/ProgramSettings.h"

#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ScriptFields.h"
#include "storage/ScriptKeys.h"

#include <QDir>

namespace tarvik {
namespace {

const QString kTimeStamp24 = QStringLiteral("yyyy/mm/dd hh:mm:ss");
const QString kAmPmSuffix = QStringLiteral(" am/pm");

QString twoDigits(int n) {
    return QString::number(n).rightJustified(2, u'0');
}

} // namespace

QString TimeStampFormatFor(bool militaryTime) {
    return militaryTime ? kTimeStamp24 : kTimeStamp24 + kAmPmSuffix;
}

QString FormatTimeStamp(const QDateTime& time, const QString& timeStampFormat) {
    const QDate d = time.date();
    const QTime t = time.time();
    const bool twelveHour = timeStampFormat.endsWith(kAmPmSuffix);
    int hour = t.hour();
    if (twelveHour)
        hour = hour % 12 == 0 ? 12 : hour % 12;
    QString text = QString::number(d.year()).rightJustified(4, u'0') + u'/' + twoDigits(d.month()) +
                   u'/' + twoDigits(d.day()) + u' ' + twoDigits(hour) + u':' +
                   twoDigits(t.minute()) + u':' + twoDigits(t.second());
    if (twelveHour)
        text += t.hour() < 12 ? QStringLiteral(" am") : QStringLiteral(" pm");
    return text;
}

std::optional<qint16> ParsePort(const QString& text) {
    bool ok = false;
    const short port = text.trimmed().toShort(&ok);
    if (!ok)
        return std::nullopt;
    return port;
}

ProgramSettings LoadProgramSettings(const QString& programFolder, const QString& settingsFile) {
    ProgramLocations portable;
    portable.settingsFile = settingsFile;
    portable.defaultScriptFolder = StripTrailingSeparator(programFolder);
    portable.defaultLogFolder = portable.defaultScriptFolder;
    portable.helpFile = JoinPath(portable.defaultScriptFolder, QStringLiteral("faq.fil"));
    return LoadProgramSettings(programFolder, portable);
}

ProgramSettings LoadProgramSettings(const QString& programFolder, const ProgramLocations& where) {
    ProgramSettings s;
    s.programFolder = StripTrailingSeparator(programFolder);
    s.settingsFile = where.settingsFile;
    s.helpFile = where.helpFile;
    s.defaultScriptFolder = where.defaultScriptFolder;
    s.defaultLogFolder = where.defaultLogFolder;
    // Pickers start where the user's files are: beside a portable copy, at
    // home for an installed one.
    s.lastFolder = where.installed ? StripTrailingSeparator(QDir::homePath()) : s.programFolder;
    const IniDocument doc = LoadIniDocument(where.settingsFile).value_or(IniDocument());
    const auto read = [&](const QString& key, const QString& fallback) {
        return doc.value(keys::kOptions, key, fallback);
    };
    const auto flag = [&](const QString& key, const char* fallback) {
        return read(key, QString::fromLatin1(fallback)).toLower() == QLatin1String("yes");
    };
    s.uncPaths = flag(keys::kUncPaths, "Yes");
    s.newErrorFile = flag(keys::kNewErrorFile, "No");
    s.militaryTime = flag(keys::kMilitaryTime, "Yes");
    s.timeStampFormat = TimeStampFormatFor(s.militaryTime);
    s.zipScriptFile = read(keys::kZipScriptFile, {});
    s.unzipScriptFile = read(keys::kUnzipScriptFile, {});
    s.zipFile = read(keys::kZipFile, {});
    s.unzipFile = read(keys::kUnzipFile, {});
    s.scriptFilePath =
        StripTrailingSeparator(read(keys::kScriptFilePath, where.defaultScriptFolder));
    s.errorFilePath = StripTrailingSeparator(read(keys::kErrorFilePath, where.defaultLogFolder));
    s.mailServer = read(keys::kMailServer, s.mailServer);
    if (const auto port = ParsePort(read(keys::kMailServerPort, QString::number(s.mailServerPort))))
        s.mailServerPort = *port;
    s.alertAddress = read(keys::kAlertAddress, {});
    return s;
}

bool SaveProgramSettings(ProgramSettings& settings, const ProgramSettings& v,
                         const QString& portText, const QString& settingsFile) {
    ProgramSettings next = settings;
    next.uncPaths = v.uncPaths;
    next.newErrorFile = v.newErrorFile;
    next.militaryTime = v.militaryTime;
    next.timeStampFormat = TimeStampFormatFor(v.militaryTime);
    next.zipScriptFile = v.zipScriptFile;
    next.unzipScriptFile = v.unzipScriptFile;
    next.zipFile = v.zipFile;
    next.unzipFile = v.unzipFile;
    next.scriptFilePath = v.scriptFilePath;
    next.errorFilePath = v.errorFilePath;
    next.mailServer = v.mailServer;
    next.alertAddress = v.alertAddress;
    if (const auto port = ParsePort(portText))
        next.mailServerPort = *port;

    const bool written = UpdateIni(settingsFile, [&](IniDocument& doc) {
        return WriteText(doc, keys::kUncPaths, FlagText(next.uncPaths)) &&
               WriteText(doc, keys::kNewErrorFile, FlagText(next.newErrorFile)) &&
               WriteText(doc, keys::kMilitaryTime, FlagText(next.militaryTime)) &&
               WriteText(doc, keys::kZipScriptFile, next.zipScriptFile) &&
               WriteText(doc, keys::kUnzipScriptFile, next.unzipScriptFile) &&
               WriteText(doc, keys::kZipFile, next.zipFile) &&
               WriteText(doc, keys::kUnzipFile, next.unzipFile) &&
               WriteText(doc, keys::kScriptFilePath, next.scriptFilePath) &&
               WriteText(doc, keys::kErrorFilePath, next.errorFilePath) &&
               WriteText(doc, keys::kMailServer, next.mailServer) &&
               WriteText(doc, keys::kMailServerPort, QString::number(next.mailServerPort)) &&
               WriteText(doc, keys::kAlertAddress, next.alertAddress);
    });
    if (written)
        settings = next;
    return written;
}

} // namespace tarvik
