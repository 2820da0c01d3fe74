#include "storage/UnzipScript.h"

#include "storage/Scramble.h"
#include "storage/ScriptFields.h"
#include "storage/ScriptKeys.h"

#include <QDir>
#include <QFileInfo>

namespace tarvik {

ExtractMode ParseExtractMode(const QString& word) {
    const QString w = word.toLower();
    if (w == QLatin1String("newer"))
        return ExtractMode::Newer;
    if (w == QLatin1String("newer and non-existing"))
        return ExtractMode::NewerAndNonExisting;
    return ExtractMode::All;
}

QString ExtractModeText(ExtractMode mode) {
    switch (mode) {
    case ExtractMode::Newer:
        return QStringLiteral("Newer");
    case ExtractMode::NewerAndNonExisting:
        return QStringLiteral("Newer and non-existing");
    case ExtractMode::All:
        break;
    }
    return QStringLiteral("All");
}

UnzipScript ReadUnzipScript(const IniDocument& doc) {
    UnzipScript s;
    s.zipFile = ReadText(doc, keys::kZipFile);
    s.fileSpecs = ReadFamily(doc, keys::kFile);
    s.directories = ReadFamily(doc, keys::kDir);
    s.password = Unscramble(ReadText(doc, keys::kPassword));
    s.deleteArchive = ReadFlag(doc, keys::kDelete);
    s.overwrite = ReadFlag(doc, keys::kOverwrite);
    s.extract = ParseExtractMode(ReadText(doc, keys::kExtract));
    s.description = ReadText(doc, keys::kDescription);
    s.lastRun = ReadText(doc, keys::kLastRun);
    s.error = ReadText(doc, keys::kError);
    return s;
}

bool WriteUnzipScript(IniDocument& doc, const UnzipScript& s, bool listsChanged) {
    const std::optional<QString> scrambled = Scramble(s.password);
    if (!scrambled)
        return false;
    IniDocument next = listsChanged ? IniDocument() : doc;
    bool ok = (!listsChanged || (WriteFamily(next, keys::kFile, s.fileSpecs) &&
                                 WriteFamily(next, keys::kDir, s.directories))) &&
              WriteText(next, keys::kZipFile, s.zipFile) &&
              WriteText(next, keys::kDescription, s.description) &&
              WriteText(next, keys::kPassword, *scrambled) &&
              WriteText(next, keys::kDelete, FlagText(s.deleteArchive)) &&
              WriteText(next, keys::kOverwrite, FlagText(s.overwrite)) &&
              WriteText(next, keys::kExtract, ExtractModeText(s.extract));
    if (ok)
        doc = next;
    return ok;
}

QString ArchiveOfUnzipScript(const QString& zipFile) {
    const QString exact = zipFile + QStringLiteral(".zip");
    if (QFileInfo::exists(exact))
        return exact;
    const QFileInfo info(exact);
    const QString base = info.fileName().chopped(4);
    const QStringList names = info.dir().entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        if (name.size() == base.size() + 4 && name.startsWith(base) &&
            name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
            return info.dir().filePath(name);
    }
    return exact;
}

} // namespace tarvik
