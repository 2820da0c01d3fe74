#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

namespace tarvik {

// Result codes of ZipEngine operations; 0 is success. The numbers keep the
// meanings ResultText puts into words.
namespace zipresult {
inline constexpr quint16 kOk = 0;
inline constexpr quint16 kFilesSkipped = 40;      // unreadable source, unsafe member, wrong password
inline constexpr quint16 kNothingToDo = 50;       // nothing to zip, or an empty archive
inline constexpr quint16 kArchiveNotFound = 100;
inline constexpr quint16 kArchiveCorrupt = 110;   // not a zip, or damaged
inline constexpr quint16 kOutOfMemory = 120;
inline constexpr quint16 kInvalidProperties = 130;
inline constexpr quint16 kTemporaryFile = 280;
inline constexpr quint16 kReadError = 290;
inline constexpr quint16 kWriteError = 300;       // disk full among others
inline constexpr quint16 kCreateError = 310;
inline constexpr quint16 kRepeatedNames = 370;
inline constexpr quint16 kArchiveReadWrite = 400;
inline constexpr quint16 kDestinationFolder = 510;
} // namespace zipresult

// A platform failure as the run log words it: "Error " N " : " text.
struct PlatformError {
    int number = 0;
    QString description;
};

// The one archive engine of the process. Properties keep their values between
// operations; a zip run sets the archive options, an unzip run only what
// extraction reads (files to process, archive path, password, overwrite mode,
// extraction folder), so extraction never depends on what a zip run left.
class ZipEngine {
public:
    ZipEngine();
    ~ZipEngine();
    ZipEngine(const ZipEngine&) = delete;
    ZipEngine& operator=(const ZipEngine&) = delete;

    // Setters that can fail return false and leave lastError() describing why.
    // File specs (zip) or member specs (unzip), each followed by a CR.
    bool setFilesToProcess(const QString& specs);
    bool setZipFile(const QString& archivePath);
    bool setPassword(const QString& password); // empty: no password

    void setCompressionLevel(int level);                  // 0-9
    void setStorePaths(bool on);
    void setIncludeSubdirectories(const QString& trueOrFalse); // "True" / "False"
    void setEarliestDate(const QString& digits);          // mmddyyyy or mmddyy (20yy)
    void setIncludeHiddenFiles(bool on);
    void setIncludeDirectoryEntries(bool on);
    void setIncludeVolumeLabel(bool on);                  // accepted, no effect on POSIX
    void setOverwriteMode(qint16 mode);                   // 2 replaces, 1 keeps existing files
    void setExtractFolder(const QString& folder);

    QString filesToProcess() const;
    QString zipFile() const;
    QString password() const;
    int compressionLevel() const;
    bool storePaths() const;
    QString includeSubdirectories() const;
    QString earliestDate() const;
    bool includeHiddenFiles() const;
    bool includeDirectoryEntries() const;
    bool includeVolumeLabel() const;
    qint16 overwriteMode() const;
    QString extractFolder() const;
    QString extensionList() const; // ".ZIP;.LZH;.ARC;.ARJ;.ZOO"

    PlatformError lastError() const;

    // Builds a fresh archive at zipFile() from the files to process.
    quint16 CreateArchive(qint16 reserved = 0);
    // Extracts the matching members into extractFolder(); mode 0 all,
    // 1 only members newer than the existing file, 2 newer or not existing.
    quint16 ExtractArchive(qint16 mode);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tarvik
