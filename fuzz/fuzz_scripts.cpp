// The script and settings readers over any text: nothing crashes, and what a
// reader makes of a script the editor's writer stores so that it reads back
// the same.
#include "FuzzCheck.h"
#include "storage/IniDocument.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "storage/UnzipScript.h"
#include "storage/ZipScript.h"

using namespace tarvik;

namespace {

bool sameOptions(const ZipScriptOptions& a, const ZipScriptOptions& b) {
    return a.fileSpecs == b.fileSpecs && a.directories == b.directories && a.zipFile == b.zipFile &&
           a.modifiedDate == b.modifiedDate && a.compression == b.compression &&
           a.password == b.password && a.storePaths == b.storePaths &&
           a.storeSubDirs == b.storeSubDirs && a.includeHiddenFiles == b.includeHiddenFiles &&
           a.includeDirectoryEntries == b.includeDirectoryEntries &&
           a.includeVolumeLabel == b.includeVolumeLabel && a.description == b.description;
}

bool sameEmail(const ZipScriptEmail& a, const ZipScriptEmail& b) {
    return a.attachment == b.attachment && a.hyperLink == b.hyperLink &&
           (!a.hyperLink || a.hyperLinkPath == b.hyperLinkPath) && a.addresses == b.addresses &&
           a.senderName == b.senderName && a.sender == b.sender && a.subject == b.subject &&
           a.body == b.body;
}

bool sameUnzip(const UnzipScript& a, const UnzipScript& b) {
    return a.zipFile == b.zipFile && a.fileSpecs == b.fileSpecs && a.directories == b.directories &&
           a.password == b.password && a.deleteArchive == b.deleteArchive &&
           a.overwrite == b.overwrite && a.extract == b.extract && a.description == b.description;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        DecodeProfileText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const IniDocument doc = IniDocument::parse(text);

    const ZipScript zip = ReadZipScript(doc);
    IniDocument zipOut;
    if (WriteZipScriptOptions(zipOut, zip.options, true, true) &&
        WriteZipScriptEmail(zipOut, zip.email, true)) {
        const ZipScript back = ReadZipScript(IniDocument::parse(zipOut.serialize()));
        FUZZ_CHECK(sameOptions(back.options, zip.options));
        FUZZ_CHECK(sameEmail(back.email, zip.email));
    }

    const UnzipScript unzip = ReadUnzipScript(doc);
    IniDocument unzipOut;
    // The editor never saves a script without its lists.
    if (!unzip.fileSpecs.isEmpty() && !unzip.directories.isEmpty() &&
        WriteUnzipScript(unzipOut, unzip, true)) {
        const UnzipScript back = ReadUnzipScript(IniDocument::parse(unzipOut.serialize()));
        FUZZ_CHECK(sameUnzip(back, unzip));
    }

    const QString port =
        doc.value(QStringLiteral("Options"), QStringLiteral("MailServerPort"), QString());
    if (const auto parsed = ParsePort(port))
        FUZZ_CHECK(ParsePort(QString::number(*parsed)) == parsed);
    return 0;
}
