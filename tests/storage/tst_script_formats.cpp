// Zip and unzip scripts as the editors and runners read and write them, and
// the scrambled passwords they hold.
#include "TestFiles.h"
#include "storage/Scramble.h"
#include "storage/UnzipScript.h"
#include "storage/ZipScript.h"

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {
IniDocument doc(const QByteArray& text) {
    return IniDocument::parse(QString::fromUtf8(text));
}

// Key "quillbax" gives the shifts +10, -8, +15, -7, +14, -12 for positions 1..6.
// plain, key (empty: the password key) -> scrambled
const std::tuple<const char*, QString, QString, QString> kScrambles[] = {
    {"all six positions and the wrap", u"Secret1"_s, {}, u"]]rksh;"_s},
    {"another key", u"abc"_s, u"zzzzzzzz"_s, u"mXt"_s},
    {"to 0 and 255", u"\u00f5\x08"_s, {}, u"\u00ff\0"_s},
    {"above 255", u"\u00f6"_s, {}, u"<refused>"_s},
    {"below 0", u"a\x07"_s, {}, u"<refused>"_s},
    {"not one byte", u"a\u0100"_s, {}, u"<refused>"_s},
};

// Options lines -> as a zip script: specs (X: marked) | level | paths | date |
// password | as an unzip script: extract mode, overwrite, password
const std::tuple<const char*, QByteArray, QString> kReads[] = {
    {"family starts at 1", "File2=/a", u"|9|||0 0"_s},
    {"marks in both cases, blank kept, x without comma, empty value ends",
     "File1=x,/a\nFile2=X, /b\nFile3=x/c\nFile4=/d\nFile5=\nFile6=/e",
     u"X:/a;X: /b;x/c;/d|9|||0 0"_s},
    {"upper-case words",
     "CompressionMode=NONE\nStorePaths=YES\nModifiedDate=12/31/1999\nExtract=NEWER\nOverwrite=YES",
     u"|0|paths|1999-12-31|1 1"_s},
    {"unknown words",
     "CompressionMode=Max\nStorePaths=true\nModifiedDate=31/12/1999\nExtract=Newest\nOverwrite=Y",
     u"|9|||0 0"_s},
    {"fast, 1 is no yes, 20yy, password unscrambled",
     "CompressionMode=fast\nStorePaths=1\nModifiedDate=1/5/29\nExtract=newer and NON-EXISTING\n"
     "Password=zo",
     u"|1||2029-01-05|2 0 pw"_s},
    {"normal, 19yy", "CompressionMode=Normal\nModifiedDate=1/5/30", u"|6||1930-01-05|0 0"_s},
};
} // namespace

class ScriptFormatsTest : public QObject {
    Q_OBJECT
private slots:
    void scramble_data() { addRows(kScrambles); }
    void scramble() {
        const auto& [name, plain, key, scrambled] = rowOf(kScrambles);
        const QString k = key.isEmpty() ? kPasswordKey.toString() : key;
        QCOMPARE(Scramble(plain, k).value_or(u"<refused>"_s), scrambled);
        if (scrambled != u"<refused>")
            QCOMPARE(Unscramble(scrambled, k), plain);
    }

    void damagedPasswordLosesCharacters() { QCOMPARE(Unscramble(u"\x05]"_s), u"e"_s); }
    void read_data() { addRows(kReads); }
    void read() {
        const auto& [name, text, read] = rowOf(kReads);
        const ZipScriptOptions o = ReadZipScript(doc("[Options]\n" + text)).options;
        const UnzipScript u = ReadUnzipScript(doc("[Options]\n" + text));
        QStringList specs;
        for (const FileSpecEntry& e : o.fileSpecs)
            specs.append((e.deleteMark ? u"X:"_s : u""_s) + e.spec);
        QCOMPARE(u"%1|%2|%3|%4|%5 %6 %7"_s.arg(specs.join(u';'))
                     .arg(CompressionLevel(o.compression))
                     .arg(o.storePaths ? u"paths"_s : u""_s, o.modifiedDate.toString(Qt::ISODate))
                     .arg(int(u.extract))
                     .arg(u.overwrite)
                     .arg(o.password == u.password ? u.password : u"differ"_s)
                     .trimmed(),
                 read);
    }

    // The editor's keys in their order; a family rewritten gapless only when it
    // changed, also from 100,000 members without a hang; other owners' keys kept;
    // a refused value changes nothing.
    void zipSave() {
        QByteArray text = "[Options]\n";
        for (int i = 1; i <= 100000; ++i)
            text += "File" + QByteArray::number(i) + "=f\n";
        IniDocument d = doc(text + "File100002=stray\nDir1=/out\nEmailAddress1=a@b\nLastRun=1\n"
                                   "Error=X\nPassword=old\nDescription=old\n");
        QCOMPARE(ReadZipScript(d).options.fileSpecs.size(), 100000);
        ZipScriptOptions o = ReadZipScript(doc("[Options]\nZipFile=Backup\nModifiedDate=3/15/2004\n"
                                               "CompressionMode=none\nStoreSubDirs=yes"))
                                 .options;
        o.fileSpecs = {{u"/x/*.log"_s, true}, {u"/y"_s, false}};
        o.directories = {u"/never"_s}; // not flagged as changed
        o.password = u"pw"_s;
        QVERIFY(WriteZipScriptOptions(d, o, true, false));
        const QString saved = d.serialize();
        QCOMPARE(saved,
                 u"[Options]\r\nFile100002=stray\r\nDir1=/out\r\nEmailAddress1=a@b\r\nLastRun=1\r\n"
                 u"Error=X\r\nPassword=zo\r\nFile1=X,/x/*.log\r\nFile2=/y\r\nZipFile=Backup\r\n"
                 u"ModifiedDate=03/15/2004\r\nCompressionMode=None\r\nStorePaths=No\r\n"
                 u"StoreSubDirs=Yes\r\nIncludeHiddenFiles=No\r\nIncludeDirectoryEntries=No\r\n"
                 u"IncludeVolumeLabel=No\r\n"_s);
        o.description = u"a\nb"_s;
        QVERIFY(!WriteZipScriptOptions(d, o, true, true));
        o.description.clear();
        o.password = u"\u00ff"_s;
        QVERIFY(!WriteZipScriptOptions(d, o, true, true));
        QCOMPARE(d.serialize(), saved);
    }

    // Changed lists write the file afresh: LastRun and Error go too.
    void unzipSave() {
        IniDocument d =
            doc("[Options]\nZipFile=/in/D\nFile1=*.*\nDir1=/a\nDir2=/b\nLastRun=1\nError=X\n"
                "Extract=newer and non-existing\n");
        UnzipScript s = ReadUnzipScript(d);
        s.directories = {u"/a"_s};
        s.password = u"pw"_s;
        QVERIFY(WriteUnzipScript(d, s, false));
        QVERIFY(d.value(u"Options"_s, u"LastRun"_s));
        QVERIFY(WriteUnzipScript(d, s, true));
        QCOMPARE(d.serialize(),
                 u"[Options]\r\nFile1=*.*\r\nDir1=/a\r\nZipFile=/in/D\r\nPassword=zo\r\n"
                 u"Delete=No\r\nOverwrite=No\r\nExtract=Newer and non-existing\r\n"_s);
    }
};

QTEST_GUILESS_MAIN(ScriptFormatsTest)
#include "tst_script_formats.moc"
