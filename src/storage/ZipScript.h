#pragma once

#include "storage/IniDocument.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarvik {

enum class CompressionMode { Best, Normal, Fast, None };

// "best", "normal", "fast", "none" in any letter case; anything else is Best.
CompressionMode ParseCompressionMode(const QString& word);
QString CompressionModeText(CompressionMode mode); // "Best", "Normal", ...
int CompressionLevel(CompressionMode mode);        // 9, 6, 1, 0

// A file spec of a zip script; marked specs have their matching files deleted
// after a run. Stored as "X," + spec when marked.
struct FileSpecEntry {
    QString spec;
    bool deleteMark = false;
    bool operator==(const FileSpecEntry&) const = default;
};
FileSpecEntry ParseFileSpecEntry(const QString& stored);
QString FileSpecEntryText(const FileSpecEntry& entry);

// The keys the zip script editor owns.
struct ZipScriptOptions {
    QList<FileSpecEntry> fileSpecs;
    QStringList directories;
    QString zipFile;    // base name, no folder, no extension
    QDate modifiedDate; // invalid when missing or not a date
    CompressionMode compression = CompressionMode::Best;
    QString password; // as typed; stored scrambled
    bool storePaths = false;
    bool storeSubDirs = false;
    bool includeHiddenFiles = false;
    bool includeDirectoryEntries = false;
    bool includeVolumeLabel = false;
    QString description;
    // 0: each run replaces ZipFile.zip. N >= 1: each run adds a dated copy,
    // ZipFile-YYYYMMDD-HHMMSS.zip, and only the newest N are kept.
    int versions = 0;
};

inline constexpr int kMaxVersions = 999;

// The keys the e-mail settings screen owns, with the runner's defaults.
struct ZipScriptEmail {
    bool attachment = false;
    bool hyperLink = false;
    QString hyperLinkPath;
    QStringList addresses;
    QString senderName = QStringLiteral("Tarvik");
    QString sender = QStringLiteral("Tarvik");
    QString subject = QStringLiteral("Zip File");
    QString body;
};

struct ZipScript {
    ZipScriptOptions options;
    ZipScriptEmail email;
    QString lastRun;
    QString error;
};

// Dates are stored month/day/year ("03/15/2004"); one-digit month or day
// and two-digit years are read too.
QDate ParseScriptDate(const QString& text);
QString ScriptDateText(const QDate& date);

ZipScript ReadZipScript(const IniDocument& doc);

// Writes the editor's keys in their order; a family is rewritten only when
// its flag says it changed. Every other key stays. Returns false, with the
// document unchanged, when a value cannot be stored (a line break, or a
// password character that cannot be scrambled).
bool WriteZipScriptOptions(IniDocument& doc, const ZipScriptOptions& options, bool fileSpecsChanged,
                           bool directoriesChanged);

// Writes the e-mail keys; HyperLinkPath only while the hyper-link is on, the
// address family only when it changed.
bool WriteZipScriptEmail(IniDocument& doc, const ZipScriptEmail& email, bool addressesChanged);

} // namespace tarvik
