#include "storage/IniDocument.h"
#include "storage/UnzipScript.h"
#include "storage/ZipScript.h"

#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {
IniDocument doc(const char* text) {
    return IniDocument::parse(QString::fromUtf8(text));
}
} // namespace

class ScriptFormatsTest : public QObject {
    Q_OBJECT
private slots:
    void zipScriptReading_data();
    void zipScriptReading();
    void zipScriptDefaults();
    void zipScriptSaveRewritesFamiliesGapless();
    void zipScriptSaveKeepsOtherOwnersKeys();
    void zipScriptSaveRefusesUnscramblablePassword();
    void emailSaveWritesHyperLinkPathOnlyWhenOn();
    void unzipScriptReading_data();
    void unzipScriptReading();
    void unzipSaveWithChangedListsStartsAfresh();
    void hugeFamilyReadsAndShrinks();
};

void ScriptFormatsTest::zipScriptReading_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("specs"); // spec|mark;spec|mark
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("storePaths");
    QTest::addColumn<QDate>("date");

    QTest::newRow("family starts at 1")
        << QByteArray("[Options]\nFile2=/a/*.txt\n") << "" << 9 << false << QDate();
    QTest::newRow("delete marks in both cases")
        << QByteArray("[Options]\nFile1=x,/d/*.log\nFile2=X,/d/*.tmp\nFile3=/d/keep\n")
        << "/d/*.log|1;/d/*.tmp|1;/d/keep|0" << 9 << false << QDate();
    QTest::newRow("mark then blank keeps the blank")
        << QByteArray("[Options]\nFile1=X, /d/*.log\n") << " /d/*.log|1" << 9 << false << QDate();
    QTest::newRow("x without comma is no mark")
        << QByteArray("[Options]\nFile1=x/d/a\n") << "x/d/a|0" << 9 << false << QDate();
    QTest::newRow("empty value ends the family")
        << QByteArray("[Options]\nFile1=/a\nFile2=\nFile3=/c\n") << "/a|0" << 9 << false << QDate();
    QTest::newRow("upper-case words")
        << QByteArray("[Options]\nCompressionMode=NONE\nStorePaths=YES\nModifiedDate=12/31/1999\n")
        << "" << 0 << true << QDate(1999, 12, 31);
    QTest::newRow("unknown words")
        << QByteArray(
               "[Options]\nCompressionMode=Maximum\nStorePaths=true\nModifiedDate=31/12/1999\n")
        << "" << 9 << false << QDate();
    QTest::newRow("fast, 1 is no yes")
        << QByteArray("[Options]\nCompressionMode=fast\nStorePaths=1\nModifiedDate=1/5/03\n") << ""
        << 1 << false << QDate(2003, 1, 5);
    QTest::newRow("normal") << QByteArray("[Options]\nCompressionMode=Normal\n") << "" << 6 << false
                            << QDate();
}

void ScriptFormatsTest::zipScriptReading() {
    QFETCH(QByteArray, text);
    QFETCH(QString, specs);
    QFETCH(int, level);
    QFETCH(bool, storePaths);
    QFETCH(QDate, date);
    const ZipScript s = ReadZipScript(doc(text.constData()));
    QStringList got;
    for (const FileSpecEntry& e : s.options.fileSpecs)
        got.append(e.spec + (e.deleteMark ? QStringLiteral("|1") : QStringLiteral("|0")));
    QCOMPARE(got.join(u';'), specs);
    QCOMPARE(CompressionLevel(s.options.compression), level);
    QCOMPARE(s.options.storePaths, storePaths);
    QCOMPARE(s.options.modifiedDate, date);
}

void ScriptFormatsTest::zipScriptDefaults() {
    const ZipScript s = ReadZipScript(doc("[Options]\nSenderName=\nHyperLink=yes\n"));
    QCOMPARE(s.email.senderName, QStringLiteral("Tarvik"));
    QCOMPARE(s.email.sender, QStringLiteral("Tarvik"));
    QCOMPARE(s.email.subject, QStringLiteral("Zip File"));
    QVERIFY(s.email.hyperLink);
    QVERIFY(!s.email.attachment);
    QVERIFY(s.options.password.isEmpty());
}

void ScriptFormatsTest::zipScriptSaveRewritesFamiliesGapless() {
    IniDocument d = doc("[Options]\nFile1=a\nFile2=b\nFile3=c\nFile4=d\nFile5=e\nFile7=stray\n"
                        "Dir1=/out\n");
    ZipScriptOptions o = ReadZipScript(d).options;
    o.fileSpecs = {{QStringLiteral("/x/*.log"), true},
                   {QStringLiteral("/y"), false},
                   {QStringLiteral("/z"), false}};
    o.directories = {QStringLiteral("/never")};
    QVERIFY(WriteZipScriptOptions(d, o, true, false));
    const ZipScript back = ReadZipScript(d);
    QCOMPARE(back.options.fileSpecs, o.fileSpecs);
    QCOMPARE(d.value(QStringLiteral("Options"), QStringLiteral("File1")), u"X,/x/*.log"_s);
    QVERIFY(!d.value(QStringLiteral("Options"), QStringLiteral("File4")));
    QVERIFY(!d.value(QStringLiteral("Options"), QStringLiteral("File5")));
    // Beyond the first gap nothing is touched; readers never get there.
    QVERIFY(d.value(QStringLiteral("Options"), QStringLiteral("File7")));
    // The directory family was not flagged as changed.
    QCOMPARE(back.options.directories, QStringList{QStringLiteral("/out")});
}

void ScriptFormatsTest::zipScriptSaveKeepsOtherOwnersKeys() {
    IniDocument d = doc("[Options]\nEmailAddress1=a@b\nLastRun=2024/01/01 10:00:00\nError=X\n"
                        "Password=old\nDescription=old\n");
    ZipScriptOptions o;
    o.fileSpecs = {{QStringLiteral("/a"), false}};
    o.directories = {QStringLiteral("/out")};
    o.zipFile = QStringLiteral("Backup");
    o.modifiedDate = QDate(2004, 3, 15);
    o.compression = CompressionMode::None;
    o.storeSubDirs = true;
    QVERIFY(WriteZipScriptOptions(d, o, true, true));
    const QString text = d.serialize();
    QVERIFY(text.contains(u"EmailAddress1=a@b"_s));
    QVERIFY(text.contains(u"LastRun=2024/01/01 10:00:00"_s));
    QVERIFY(text.contains(u"Error=X"_s));
    QVERIFY(!text.contains(u"Password"_s));    // no password, no key
    QVERIFY(!text.contains(u"Description"_s)); // empty description, no key
    QVERIFY(text.contains(u"ModifiedDate=03/15/2004\r\nCompressionMode=None\r\n"_s));
    QVERIFY(text.contains(u"StorePaths=No\r\nStoreSubDirs=Yes\r\n"_s));
    QCOMPARE(ReadZipScript(d).options.modifiedDate, QDate(2004, 3, 15));
}

void ScriptFormatsTest::zipScriptSaveRefusesUnscramblablePassword() {
    IniDocument d = doc("[Options]\nZipFile=keep\n");
    ZipScriptOptions o;
    o.zipFile = QStringLiteral("changed");
    o.password = QStringLiteral("a\x12"); // scrambles to a line break
    QVERIFY(!WriteZipScriptOptions(d, o, false, false));
    QCOMPARE(d.value(QStringLiteral("Options"), QStringLiteral("ZipFile")), u"keep"_s);

    o.password = QStringLiteral("  secret  ");
    QVERIFY(WriteZipScriptOptions(d, o, false, false));
    const IniDocument reread = IniDocument::parse(d.serialize());
    QCOMPARE(ReadZipScript(reread).options.password, o.password);
}

void ScriptFormatsTest::emailSaveWritesHyperLinkPathOnlyWhenOn() {
    IniDocument d =
        doc("[Options]\nHyperLinkPath=/old/Backup.zip\nEmailAddress1=a\nEmailAddress2=b\n");
    ZipScriptEmail e;
    e.hyperLink = false;
    e.hyperLinkPath = QStringLiteral("/new/Backup.zip");
    e.addresses = {QStringLiteral("c")};
    QVERIFY(WriteZipScriptEmail(d, e, true));
    QCOMPARE(ReadZipScript(d).email.hyperLinkPath, u"/old/Backup.zip"_s);
    QCOMPARE(ReadZipScript(d).email.addresses, QStringList{QStringLiteral("c")});
    e.hyperLink = true;
    QVERIFY(WriteZipScriptEmail(d, e, false));
    QCOMPARE(ReadZipScript(d).email.hyperLinkPath, u"/new/Backup.zip"_s);
}

void ScriptFormatsTest::unzipScriptReading_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("extract");
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("NEWER") << QByteArray("[Options]\nExtract=NEWER\nOverwrite=yes\n") << 1 << true;
    QTest::newRow("Newest is all")
        << QByteArray("[Options]\nExtract=Newest\nOverwrite=Y\n") << 0 << false;
    QTest::newRow("newer and non-existing")
        << QByteArray("[Options]\nExtract=newer and NON-EXISTING\n") << 2 << false;
    QTest::newRow("missing") << QByteArray("[Options]\n") << 0 << false;
}

void ScriptFormatsTest::unzipScriptReading() {
    QFETCH(QByteArray, text);
    QFETCH(int, extract);
    QFETCH(bool, overwrite);
    const UnzipScript s = ReadUnzipScript(doc(text.constData()));
    QCOMPARE(int(s.extract), extract);
    QCOMPARE(s.overwrite, overwrite);
}

void ScriptFormatsTest::unzipSaveWithChangedListsStartsAfresh() {
    IniDocument d = doc("[Options]\nZipFile=/in/Daily\nFile1=*.*\nDir1=/a\nDir2=/b\n"
                        "LastRun=2024/01/01 10:00:00\nError=X\n");
    UnzipScript s = ReadUnzipScript(d);
    QCOMPARE(s.zipFile, u"/in/Daily"_s);
    s.directories = {QStringLiteral("/a")};
    s.password = QStringLiteral("pw");
    QVERIFY(WriteUnzipScript(d, s, false));
    QVERIFY(d.value(QStringLiteral("Options"), QStringLiteral("LastRun")));
    QVERIFY(WriteUnzipScript(d, s, true));
    const UnzipScript back = ReadUnzipScript(d);
    QVERIFY(back.lastRun.isEmpty());
    QVERIFY(back.error.isEmpty());
    QCOMPARE(back.directories, s.directories);
    QCOMPARE(back.password, u"pw"_s);
    QCOMPARE(d.serialize(), u"[Options]\r\nFile1=*.*\r\nDir1=/a\r\nZipFile=/in/Daily\r\n"
                            u"Password=zo\r\nDelete=No\r\nOverwrite=No\r\nExtract=All\r\n"_s);
}

void ScriptFormatsTest::hugeFamilyReadsAndShrinks() {
    // A script with 100,000 numbered keys must neither hang nor lose its other keys.
    QString text = u"[Options]\r\nZipFile=Big\r\n"_s;
    for (int i = 1; i <= 100000; ++i)
        text += u"File%1=/data/f%1\r\n"_s.arg(i);
    IniDocument d = IniDocument::parse(text);
    ZipScriptOptions o = ReadZipScript(d).options;
    QCOMPARE(o.fileSpecs.size(), 100000);
    QCOMPARE(o.fileSpecs.last().spec, u"/data/f100000"_s);
    o.fileSpecs.resize(3);
    QVERIFY(WriteZipScriptOptions(d, o, true, false));
    const IniDocument back = IniDocument::parse(d.serialize());
    QCOMPARE(ReadZipScript(back).options.fileSpecs.size(), 3);
    QVERIFY(!back.value(u"Options"_s, u"File4"_s));
    QVERIFY(!back.value(u"Options"_s, u"File100000"_s));
    QCOMPARE(back.value(u"Options"_s, u"ZipFile"_s), u"Big"_s);
}

QTEST_GUILESS_MAIN(ScriptFormatsTest)
#include "tst_script_formats.moc"
