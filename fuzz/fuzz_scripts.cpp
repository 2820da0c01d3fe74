// The script and settings readers over any text: nothing crashes, and what a
// reader makes of a script the editor's writer stores so that it reads back
// the same.
#include "FuzzCheck.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "storage/UnzipScript.h"
#include "storage/ZipScript.h"

using namespace tarvik;

#define SAME(field) (a.field == b.field)

namespace {
bool same(const ZipScriptOptions& a, const ZipScriptOptions& b) {
    return SAME(fileSpecs) && SAME(directories) && SAME(zipFile) && SAME(modifiedDate) &&
           SAME(compression) && SAME(password) && SAME(storePaths) && SAME(storeSubDirs) &&
           SAME(includeHiddenFiles) && SAME(includeDirectoryEntries) && SAME(includeVolumeLabel) &&
           SAME(description);
}

bool same(const ZipScriptEmail& a, const ZipScriptEmail& b) {
    return SAME(attachment) && SAME(hyperLink) && (!a.hyperLink || SAME(hyperLinkPath)) &&
           SAME(addresses) && SAME(senderName) && SAME(sender) && SAME(subject) && SAME(body);
}

bool same(const UnzipScript& a, const UnzipScript& b) {
    return SAME(zipFile) && SAME(fileSpecs) && SAME(directories) && SAME(password) &&
           SAME(deleteArchive) && SAME(overwrite) && SAME(extract) && SAME(description);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const IniDocument doc = IniDocument::parse(
        DecodeProfileText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))));
    const ZipScript zip = ReadZipScript(doc);
    IniDocument out;
    if (WriteZipScriptOptions(out, zip.options, true, true) &&
        WriteZipScriptEmail(out, zip.email, true)) {
        const ZipScript back = ReadZipScript(IniDocument::parse(out.serialize()));
        FUZZ_CHECK(same(back.options, zip.options) && same(back.email, zip.email));
    }
    const UnzipScript unzip = ReadUnzipScript(doc);
    IniDocument unzipOut; // the editor never saves a script without its lists
    if (!unzip.fileSpecs.isEmpty() && !unzip.directories.isEmpty() &&
        WriteUnzipScript(unzipOut, unzip, true))
        FUZZ_CHECK(same(ReadUnzipScript(IniDocument::parse(unzipOut.serialize())), unzip));
    const QString port = doc.value(QStringLiteral("Options"), QStringLiteral("MailServerPort"), {});
    if (const auto parsed = ParsePort(port))
        FUZZ_CHECK(ParsePort(QString::number(*parsed)) == parsed);
    return 0;
}
