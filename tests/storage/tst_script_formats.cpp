// Zip and unzip scripts as the editors and runners read and write them, and
// the scrambled passwords they hold.
#include "TestFiles.h"
#include "storage/ProfileFile.h"
#include "storage/Scramble.h"
#include "storage/UnzipScript.h"
#include "storage/ZipScript.h"

#include <QTemporaryDir>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {
IniDocument doc(const QByteArray& text) {
    return IniDocument::parse(QString::fromUtf8(text));
}

// Key "quillbax" gives the shifts +10, -8, +15, -7, +14, -12 for positions 1..6.
const struct ScrambleRow {
    const char* name;
    QString plain, key; // key empty: the password key
    QString scrambled;
} kScrambles[] = {
    {"empty", u""_s, {}, u""_s},
    {"all six positions and the wrap", u"Secret1"_s, {}, u"]]rksh;"_s},
    {"another key", u"abc"_s, u"zzzzzzzz"_s, u"mXt"_s},
    {"to a leading blank", u"\x16x"_s, {}, u" p"_s},
    {"to a trailing blank", u"ab\x11"_s, {}, u"kZ "_s},
    {"to 255", u"\u00f5"_s, {}, u"\u00ff"_s},
    {"above 255", u"\u00f6"_s, {}, u"<refused>"_s},
    {"below 0", u"a\x07"_s, {}, u"<refused>"_s},
    {"not one byte", u"a\u0100"_s, {}, u"<refused>"_s},
};

const struct ZipReadRow {
    const char* name;
    const char* text;
    QString read; // specs (X: marked) | level | paths | date
} kZipReads[] = {
    {"family starts at 1", "File2=/a\n", u"|9||"_s},
    {"delete marks in both cases", "File1=x,/d/*.log\nFile2=X,/d/*.tmp\nFile3=/d/k\n",
     u"X:/d/*.log;X:/d/*.tmp;/d/k|9||"_s},
    {"mark then blank keeps the blank", "File1=X, /d/a\n", u"X: /d/a|9||"_s},
    {"x without comma is no mark", "File1=x/d/a\n", u"x/d/a|9||"_s},
    {"empty value ends the family", "File1=/a\nFile2=\nFile3=/c\n", u"/a|9||"_s},
    {"upper-case words", "CompressionMode=NONE\nStorePaths=YES\nModifiedDate=12/31/1999\n",
     u"|0|paths|1999-12-31"_s},
    {"unknown words", "CompressionMode=Max\nStorePaths=true\nModifiedDate=31/12/1999\n", u"|9||"_s},
    {"fast, 1 is no yes, 20yy", "CompressionMode=fast\nStorePaths=1\nModifiedDate=1/5/29\n",
     u"|1||2029-01-05"_s},
    {"normal, 19yy", "CompressionMode=Normal\nModifiedDate=1/5/30\n", u"|6||1930-01-05"_s},
};

const struct UnzipReadRow {
    const char* name;
    const char* text;
    int extract;
    bool overwrite;
} kUnzipReads[] = {
    {"NEWER, yes", "Extract=NEWER\nOverwrite=yes\n", 1, true},
    {"Newest is all, Y is no", "Extract=Newest\nOverwrite=Y\n", 0, false},
    {"newer and non-existing", "Extract=newer and NON-EXISTING\n", 2, false},
};
} // namespace

class ScriptFormatsTest : public QObject {
    Q_OBJECT
private slots:
    void scramble_data() { addRows(kScrambles); }
    void scramble();
    void damagedPasswordLosesCharacters() { QCOMPARE(Unscramble(u"\x05]"_s), u"e"_s); }
    void zipRead_data() { addRows(kZipReads); }
    void zipRead();
    void zipSave();
    void emailSave();
    void unzipRead_data() { addRows(kUnzipReads); }
    void unzipRead();
    void unzipSave();
    void hugeFamilyReadsAndShrinks();
};

void ScriptFormatsTest::scramble() {
    const ScrambleRow& r = rowOf(kScrambles);
    const QString key = r.key.isEmpty() ? kPasswordKey.toString() : r.key;
    QCOMPARE(Scramble(r.plain, key).value_or(u"<refused>"_s), r.scrambled);
    if (r.scrambled == u"<refused>")
        return;
    QCOMPARE(Unscramble(r.scrambled, key), r.plain);
    QTemporaryDir dir; // blanks at the ends survive the script file
    QVERIFY(WriteIni(u"Options"_s, u"Password"_s, r.scrambled, dir.filePath(u"s.zsc"_s)));
    QCOMPARE(ReadIni(u"Options"_s, u"Password"_s, {}, dir.filePath(u"s.zsc"_s)), r.scrambled);
}

void ScriptFormatsTest::zipRead() {
    const ZipReadRow& r = rowOf(kZipReads);
    const ZipScriptOptions o = ReadZipScript(doc(QByteArray("[Options]\n") + r.text)).options;
    QStringList specs;
    for (const FileSpecEntry& e : o.fileSpecs)
        specs.append((e.deleteMark ? u"X:"_s : u""_s) + e.spec);
    QCOMPARE(QStringList({specs.join(u';'), QString::number(CompressionLevel(o.compression)),
                          o.storePaths ? u"paths"_s : u""_s, o.modifiedDate.toString(Qt::ISODate)})
                 .join(u'|'),
             r.read);
}

// The editor's keys in their order; a family rewritten gapless only when it
// changed; other owners' keys kept; a refused value changes nothing.
void ScriptFormatsTest::zipSave() {
    IniDocument d = doc("[Options]\nFile1=a\nFile2=b\nFile3=c\nFile5=stray\nDir1=/out\n"
                        "EmailAddress1=a@b\nLastRun=1\nError=X\nPassword=old\nDescription=old\n");
    ZipScriptOptions o;
    o.fileSpecs = {{u"/x/*.log"_s, true}, {u"/y"_s, false}};
    o.directories = {u"/never"_s};
    o.zipFile = u"Backup"_s;
    o.modifiedDate = QDate(2004, 3, 15);
    o.compression = CompressionMode::None;
    o.storeSubDirs = true;
    QVERIFY(WriteZipScriptOptions(d, o, true, false));
    const QString saved = d.serialize();
    QCOMPARE(saved, u"[Options]\r\nFile5=stray\r\nDir1=/out\r\nEmailAddress1=a@b\r\nLastRun=1\r\n"
                    u"Error=X\r\nFile1=X,/x/*.log\r\nFile2=/y\r\nZipFile=Backup\r\n"
                    u"ModifiedDate=03/15/2004\r\nCompressionMode=None\r\nStorePaths=No\r\n"
                    u"StoreSubDirs=Yes\r\nIncludeHiddenFiles=No\r\nIncludeDirectoryEntries=No\r\n"
                    u"IncludeVolumeLabel=No\r\n"_s);
    o.description = u"a\nb"_s;
    QVERIFY(!WriteZipScriptOptions(d, o, true, true));
    o.description.clear();
    o.password = u"\u00ff"_s;
    QVERIFY(!WriteZipScriptOptions(d, o, true, true));
    QCOMPARE(d.serialize(), saved);
    o.password = u"  secret  "_s;
    QVERIFY(WriteZipScriptOptions(d, o, false, false));
    QCOMPARE(ReadZipScript(IniDocument::parse(d.serialize())).options.password, o.password);
}

void ScriptFormatsTest::emailSave() {
    IniDocument d = doc("[Options]\nHyperLinkPath=/old\nEmailAddress1=a\nEmailAddress2=b\n"
                        "SenderName=\nSubject=S\n");
    ZipScriptEmail e = ReadZipScript(d).email;
    QCOMPARE(QStringList({e.senderName, e.sender, e.subject}), // defaults for empty and missing
             QStringList({u"Tarvik"_s, u"Tarvik"_s, u"S"_s}));
    e.hyperLinkPath = u"/new"_s;
    e.addresses = {u"c"_s};
    QVERIFY(WriteZipScriptEmail(d, e, true));
    QCOMPARE(ReadZipScript(d).email.hyperLinkPath, u"/old"_s); // kept while the link is off
    e.hyperLink = true;
    e.addresses = {u"d"_s};
    QVERIFY(WriteZipScriptEmail(d, e, false));
    const ZipScriptEmail back = ReadZipScript(d).email;
    QVERIFY(back.hyperLink);
    QCOMPARE(back.hyperLinkPath, u"/new"_s);
    QCOMPARE(back.addresses, QStringList{u"c"_s}); // an unchanged family is not written
}

void ScriptFormatsTest::unzipRead() {
    const UnzipReadRow& r = rowOf(kUnzipReads);
    const UnzipScript s = ReadUnzipScript(doc(QByteArray("[Options]\n") + r.text));
    QCOMPARE(int(s.extract), r.extract);
    QCOMPARE(s.overwrite, r.overwrite);
}

// Changed lists write the file afresh: LastRun and Error go too.
void ScriptFormatsTest::unzipSave() {
    IniDocument d =
        doc("[Options]\nZipFile=/in/D\nFile1=*.*\nDir1=/a\nDir2=/b\nLastRun=1\nError=X\n"
            "Extract=newer and non-existing\n");
    UnzipScript s = ReadUnzipScript(d);
    s.directories = {u"/a"_s};
    s.password = u"pw"_s;
    QVERIFY(WriteUnzipScript(d, s, false));
    QVERIFY(d.value(u"Options"_s, u"LastRun"_s));
    QVERIFY(WriteUnzipScript(d, s, true));
    QCOMPARE(d.serialize(), u"[Options]\r\nFile1=*.*\r\nDir1=/a\r\nZipFile=/in/D\r\nPassword=zo\r\n"
                            u"Delete=No\r\nOverwrite=No\r\nExtract=Newer and non-existing\r\n"_s);
}

// 100,000 numbered keys neither hang the reader nor the writer.
void ScriptFormatsTest::hugeFamilyReadsAndShrinks() {
    QString text = u"[Options]\r\nZipFile=Big\r\n"_s;
    for (int i = 1; i <= 100000; ++i)
        text += u"File%1=/f%1\r\n"_s.arg(i);
    IniDocument d = IniDocument::parse(text);
    ZipScriptOptions o = ReadZipScript(d).options;
    QCOMPARE(o.fileSpecs.size(), 100000);
    o.fileSpecs.resize(3);
    QVERIFY(WriteZipScriptOptions(d, o, true, false));
    QCOMPARE(d.serialize(), u"[Options]\r\nZipFile=Big\r\nFile1=/f1\r\nFile2=/f2\r\nFile3=/f3\r\n"
                            u"CompressionMode=Best\r\nStorePaths=No\r\nStoreSubDirs=No\r\n"
                            u"IncludeHiddenFiles=No\r\nIncludeDirectoryEntries=No\r\n"
                            u"IncludeVolumeLabel=No\r\n"_s);
}

QTEST_GUILESS_MAIN(ScriptFormatsTest)
#include "tst_script_formats.moc"
