#include "storage/ZipScript.h"

#include "storage/Scramble.h"
#include "storage/ScriptFields.h"
#include "storage/ScriptKeys.h"

#include <QRegularExpression>
#include <algorithm>

namespace tarvik {

CompressionMode ParseCompressionMode(const QString& word) {
    const QString w = word.toLower();
    if (w == QLatin1String("normal"))
        return CompressionMode::Normal;
    if (w == QLatin1String("fast"))
        return CompressionMode::Fast;
    if (w == QLatin1String("none"))
        return CompressionMode::None;
    return CompressionMode::Best;
}

QString CompressionModeText(CompressionMode mode) {
    switch (mode) {
    case CompressionMode::Normal:
        return QStringLiteral("Normal");
    case CompressionMode::Fast:
        return QStringLiteral("Fast");
    case CompressionMode::None:
        return QStringLiteral("None");
    case CompressionMode::Best:
        break;
    }
    return QStringLiteral("Best");
}

int CompressionLevel(CompressionMode mode) {
    switch (mode) {
    case CompressionMode::Normal:
        return 6;
    case CompressionMode::Fast:
        return 1;
    case CompressionMode::None:
        return 0;
    case CompressionMode::Best:
        break;
    }
    return 9;
}

FileSpecEntry ParseFileSpecEntry(const QString& stored) {
    if (stored.startsWith(QLatin1String("x,"), Qt::CaseInsensitive))
        return {stored.mid(2), true};
    return {stored, false};
}

QString FileSpecEntryText(const FileSpecEntry& entry) {
    return entry.deleteMark ? QStringLiteral("X,") + entry.spec : entry.spec;
}

QDate ParseScriptDate(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4}|\d{2})\s*$)"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return {};
    int year = m.captured(3).toInt();
    if (m.capturedLength(3) == 2)
        year += year < 30 ? 2000 : 1900;
    return QDate(year, m.captured(1).toInt(), m.captured(2).toInt());
}

QString ScriptDateText(const QDate& date) {
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

ZipScript ReadZipScript(const IniDocument& doc) {
    ZipScript s;
    ZipScriptOptions& o = s.options;
    for (const QString& v : ReadFamily(doc, keys::kFile))
        o.fileSpecs.append(ParseFileSpecEntry(v));
    o.directories = ReadFamily(doc, keys::kDir);
    o.zipFile = ReadText(doc, keys::kZipFile);
    o.modifiedDate = ParseScriptDate(ReadText(doc, keys::kModifiedDate));
    o.compression = ParseCompressionMode(ReadText(doc, keys::kCompressionMode));
    o.password = Unscramble(ReadText(doc, keys::kPassword));
    o.storePaths = ReadFlag(doc, keys::kStorePaths);
    o.storeSubDirs = ReadFlag(doc, keys::kStoreSubDirs);
    o.includeHiddenFiles = ReadFlag(doc, keys::kIncludeHiddenFiles);
    o.includeDirectoryEntries = ReadFlag(doc, keys::kIncludeDirectoryEntries);
    o.includeVolumeLabel = ReadFlag(doc, keys::kIncludeVolumeLabel);
    o.description = ReadText(doc, keys::kDescription);
    // Digits only; anything else (or nothing) is today's single archive.
    const QString versions = ReadText(doc, keys::kVersions).trimmed();
    bool number = false;
    const int n = versions.toInt(&number);
    o.versions = number && n > 0 ? std::min(n, kMaxVersions) : 0;

    ZipScriptEmail& e = s.email;
    e.attachment = ReadFlag(doc, keys::kAttachment);
    e.hyperLink = ReadFlag(doc, keys::kHyperLink);
    e.hyperLinkPath = ReadText(doc, keys::kHyperLinkPath);
    e.addresses = ReadFamily(doc, keys::kEmailAddress);
    const auto textOr = [&](const QString& key, const QString& fallback) {
        const QString v = ReadText(doc, key);
        return v.isEmpty() ? fallback : v;
    };
    e.senderName = textOr(keys::kSenderName, e.senderName);
    e.sender = textOr(keys::kSender, e.sender);
    e.subject = textOr(keys::kSubject, e.subject);
    e.body = ReadText(doc, keys::kBody);

    s.lastRun = ReadText(doc, keys::kLastRun);
    s.error = ReadText(doc, keys::kError);
    return s;
}

bool WriteZipScriptOptions(IniDocument& doc, const ZipScriptOptions& o, bool fileSpecsChanged,
                           bool directoriesChanged) {
    const std::optional<QString> scrambled = Scramble(o.password);
    if (!scrambled)
        return false;
    IniDocument next = doc;
    QStringList specs;
    for (const FileSpecEntry& entry : o.fileSpecs)
        specs.append(FileSpecEntryText(entry));
    bool ok =
        (!fileSpecsChanged || WriteFamily(next, keys::kFile, specs)) &&
        (!directoriesChanged || WriteFamily(next, keys::kDir, o.directories)) &&
        WriteText(next, keys::kDescription, o.description) &&
        WriteText(next, keys::kZipFile, o.zipFile) &&
        WriteText(next, keys::kModifiedDate, ScriptDateText(o.modifiedDate)) &&
        WriteText(next, keys::kCompressionMode, CompressionModeText(o.compression)) &&
        WriteText(next, keys::kPassword, *scrambled) &&
        WriteText(next, keys::kStorePaths, FlagText(o.storePaths)) &&
        WriteText(next, keys::kStoreSubDirs, FlagText(o.storeSubDirs)) &&
        WriteText(next, keys::kIncludeHiddenFiles, FlagText(o.includeHiddenFiles)) &&
        WriteText(next, keys::kIncludeDirectoryEntries, FlagText(o.includeDirectoryEntries)) &&
        WriteText(next, keys::kIncludeVolumeLabel, FlagText(o.includeVolumeLabel)) &&
        // Absent unless set, so scripts without versions stay as they were.
        WriteText(next, keys::kVersions, o.versions > 0 ? QString::number(o.versions) : QString());
    if (ok)
        doc = next;
    return ok;
}

bool WriteZipScriptEmail(IniDocument& doc, const ZipScriptEmail& e, bool addressesChanged) {
    IniDocument next = doc;
    bool ok = WriteText(next, keys::kAttachment, FlagText(e.attachment)) &&
              WriteText(next, keys::kHyperLink, FlagText(e.hyperLink)) &&
              (!e.hyperLink || WriteText(next, keys::kHyperLinkPath, e.hyperLinkPath)) &&
              (!addressesChanged || WriteFamily(next, keys::kEmailAddress, e.addresses)) &&
              WriteText(next, keys::kSenderName, e.senderName) &&
              WriteText(next, keys::kSender, e.sender) &&
              WriteText(next, keys::kSubject, e.subject) && WriteText(next, keys::kBody, e.body);
    if (ok)
        doc = next;
    return ok;
}

} // namespace tarvik
